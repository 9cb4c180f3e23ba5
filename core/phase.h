// The launcher's phase, shared by the model and the engines that move it.
#pragma once

#include <QObject>

namespace LauncherPhase {
Q_NAMESPACE
enum class Phase { needInstall, working, ready };
Q_ENUM_NS(Phase)
}  // namespace LauncherPhase

using Phase = LauncherPhase::Phase;
