// The two sides of the install benchmarks: the launcher from its start to
// "ready" (its autopilot installing the client), and one curl process
// fetching the same files one after another. Each reports its wall time and
// the CPU time of its whole process tree.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "update/manifest.h"

namespace qh::bench {

// When the launcher's autopilot told each step, in seconds from its start:
// its window is built ("start", before the first frame), the first file is on
// its way (after the first frame, the start-up requests and the comparison),
// the files are in (the compatibility layer comes next), and "ready"; -1
// until seen.
struct LauncherRun {
  double window = -1, download = -1, finishing = -1, ready = -1;
  // From the launcher's own log, seconds from its main().
  double firstFrame = -1;
  // User and system time of the launcher and everything it waited for.
  double cpu = -1;
  // The launcher process's own CPU time while the files arrived (from the
  // first "Downloading" to the compatibility layer).
  double filesCpu = -1;
};

// Writes a demo-shaped client of `megabytes` in `files` files under
// root/"source" and publishes it with `publishTool` into root/"www", with a
// runtime of stand-in wine programs: ready includes the compatibility layer,
// and so that part stays small and the figures about the download. Returns
// the published list, empty (the tool's errors on stderr) when that failed.
std::vector<ManifestEntry> publishShaped(const std::filesystem::path& root, long megabytes,
                                         long files, const std::filesystem::path& gameExe,
                                         const std::filesystem::path& publishTool);

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs the launcher of `bundle` offscreen with HOME and its XDG folders under
// `home` (made here), its base URL `url` and `environment` added, until it
// exits; every line of its output goes to `log` when given. ready stays -1
// when it did not end well. `settings` is written as its user defaults first.
LauncherRun launcherToReady(const std::filesystem::path& bundle, const std::filesystem::path& home,
                            const std::string& url, const Environment& environment,
                            const std::string& settings, std::FILE* log);

struct CurlRun {
  double seconds = -1;
  double cpu = -1;
};

// One /usr/bin/curl process fetching url + "/" + rel of every entry into
// `into`, with `arguments` added; seconds is -1 when it failed.
CurlRun curlAll(const std::vector<ManifestEntry>& entries, const std::string& url,
                const std::filesystem::path& into, const std::vector<std::string>& arguments);

// CPU seconds that the children this process reaped so far used.
double childrenCpu();

}  // namespace qh::bench
