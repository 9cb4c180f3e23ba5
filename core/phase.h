// The launcher's phase, shared by the model and the engines that move it. The
// namespace's meta-object carries the enum to the window ("LauncherPhase").
#pragma once

#include <QObject>

namespace qh {
Q_NAMESPACE

enum class Phase { needInstall, working, ready };
Q_ENUM_NS(Phase)

}  // namespace qh
