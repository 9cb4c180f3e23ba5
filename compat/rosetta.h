// What the Rosetta 2 gate asks of the machine, as a seam: RealRosettaHost is
// this machine (a Mac, or a Linux box, never Apple Silicon); tests hand in
// their own answers.
// Thread-safety: every member may be called from any thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qh {

class RosettaHost {
 public:
  virtual ~RosettaHost() = default;
  // "hw.optional.arm64" reads 1.
  virtual bool isAppleSilicon() const = 0;
  // The translator is installed.
  virtual bool rosettaPresent() const = 0;
  // Runs `program` to its end and returns its exit status, or -1 when it
  // cannot be started. `quiet` sends its output to the null device.
  virtual int run(const std::filesystem::path& program, const std::vector<std::string>& args,
                  bool quiet) const = 0;
};

class RealRosettaHost final : public RosettaHost {
 public:
  bool isAppleSilicon() const override;
  bool rosettaPresent() const override;
  int run(const std::filesystem::path& program, const std::vector<std::string>& args,
          bool quiet) const override;
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
