// Headless driving for `make demo`: with QH_DEMO_AUTOPLAY set, every phase,
// status and detail change is printed, the primary button is pressed once
// when the launcher waits for an install, and the launcher quits when ready
// (exit 0) or when it stops in needInstall a second time (exit 1).
#pragma once

class LauncherModel;

namespace DemoAutoplay {
// Does nothing unless QH_DEMO_AUTOPLAY is set.
void attachIfRequested(LauncherModel& model);
}  // namespace DemoAutoplay
