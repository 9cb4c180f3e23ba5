// Driving the launcher without a person, for `make demo`, its end-to-end test
// and the end-to-end benchmark. Set QH_DEMO_AUTOPILOT and the launcher prints
// every phase, status and detail change as a line (statuses that differ only
// in their numbers, like a download's counters, once a second), saves a picture of the
// window per phase into $QH_DEMO_SHOTS (when set), and presses the big button
// itself: INSTALL when it waits for an install, PLAY when ready. It stops the
// launcher with exit status 1 when a step fails (INSTALL or PLAY needed a
// second time). With QH_DEMO_AUTOPILOT=ready it quits with 0 once ready
// instead of playing; with QH_DEMO_AUTOPILOT=verify it runs Verify and
// repair at the first ready and quits with 0 at the next. Otherwise the
// launcher quits by itself after the game.
// Thread-safety: main thread only.
#pragma once

#include <string>
#include <string_view>

class QWindow;

namespace qh {

class LauncherModel;

namespace DemoAutopilot {

// Does nothing unless QH_DEMO_AUTOPILOT is set. `window` may be null.
void attachIfRequested(LauncherModel& model, QWindow* window);

// One printed line: "[   1.25s] status Downloading 3 of 9...", the time in
// seconds since the start, whatever the locale.
std::string line(double seconds, std::string_view what, std::string_view text);

}  // namespace DemoAutopilot

}  // namespace qh
