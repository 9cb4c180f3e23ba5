// The files copied before each launch: DXVK into the prefix, the shim into the client folder.
#include <fstream>
#include <sstream>
#include <system_error>

#include "compat/runtime.h"
#include "core/files.h"
#include "core/log.h"
#include "net/hash.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// Lower-case hex, or nullopt when the file cannot be read.
std::optional<std::string> sha256Of(const fs::path& file) {
  try {
    return Hash::sha256(file);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// A file at `target` with the same content as `source` (two unreadable files count as equal).
bool sameFile(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  if (!fs::is_regular_file(target, ec)) return false;
  return sha256Of(source) == sha256Of(target);
}

// Replaces `target` with a copy of `source` in one atomic step.
std::error_code copyAtomic(const fs::path& source, const fs::path& target) {
  std::error_code ignored;
  fs::remove(target, ignored);
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    // A stream need not leave errno set.
    const std::error_code err = lastSystemError();
    return err ? err : std::make_error_code(std::errc::no_such_file_or_directory);
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::make_error_code(std::errc::io_error);
  return Files::writeAtomic(target, bytes.str());
}

}  // namespace

bool Runtime::installDxvk() const {
  const auto source = dxvkSource();
  if (!source) return false;
  const fs::path syswow64 = prefixDir() / "drive_c" / "windows" / "syswow64";
  std::error_code ec;
  if (!fs::exists(syswow64, ec)) {
    Log::line("dxvk skipped: " + syswow64.string() + " missing");
    return false;
  }
  const fs::path target = syswow64 / "d3d9.dll";
  if (!sameFile(*source, target)) {
    if (const std::error_code err = copyAtomic(*source, target)) {
      Log::line("dxvk install failed: " + errorText(err));
      return false;
    }
  }
  fs::create_directories(dxvkCacheDir(), ec);
  if (ec) {
    Log::line("dxvk install failed: " + errorText(ec));
    return false;
  }
  return true;
}

void Runtime::installShim(const fs::path& shim) const {
  const fs::path target = paths_.installDir / "version.dll";
  if (sameFile(shim, target)) return;
  if (const std::error_code err = copyAtomic(shim, target)) {
    throw systemError("copy " + shim.string() + " to", target, err);
  }
}

}  // namespace qh
