// What the Rosetta 2 gate asks of the machine, as a seam: system() is the real
// Mac (or a Linux box, never Apple Silicon); tests hand in their own answers.
// Thread-safety: the members may be called from any thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qh {

struct RosettaHost {
  // "hw.optional.arm64" reads 1. Empty: not Apple Silicon.
  std::function<bool()> isAppleSilicon;
  // The translator is installed. Empty: not installed.
  std::function<bool()> rosettaPresent;
  // Runs `program` to its end and returns its exit status, or -1 when it
  // cannot be started. `quiet` sends its output to the null device.
  std::function<int(const std::filesystem::path& program, const std::vector<std::string>& args,
                    bool quiet)>
      run;

  static RosettaHost system();
};

namespace Rosetta {
// The file whose presence means Rosetta 2 is installed.
inline constexpr const char* translator = "/Library/Apple/usr/share/rosetta/rosetta";
inline constexpr const char* softwareUpdate = "/usr/sbin/softwareupdate";
inline constexpr const char* osascript = "/usr/bin/osascript";
// The AppleScript that repeats the installation with administrator rights.
std::string adminScript();
}  // namespace Rosetta

}  // namespace qh
