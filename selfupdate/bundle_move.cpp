#include "selfupdate/bundle_move.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace qh {

namespace fs = std::filesystem;

namespace BundleMove {
namespace {

std::mutex faultMutex;
Fault injected;
std::atomic<bool> copyAlways{false};

std::error_code copyAcross(const fs::path& from, const fs::path& to) {
  std::string name(1, '.');
  name += to.filename().string();
  name += ".incoming";
  const fs::path staging = to.parent_path() / name;
  std::error_code ec;
  fs::remove_all(staging, ec);
  fs::copy(from, staging, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) fs::rename(staging, to, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    return ec;
  }
  fs::remove_all(from, ec);
  return {};
}

}  // namespace

std::error_code move(const fs::path& from, const fs::path& to) {
  {
    std::lock_guard lock(faultMutex);
    if (injected) {
      if (auto fault = injected(from, to)) return *fault;
    }
  }
  std::error_code ec;
  if (!fs::exists(from, ec))
    return ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
  if (fs::exists(to, ec) || ec) return ec ? ec : std::make_error_code(std::errc::file_exists);
  if (copyAlways) return copyAcross(from, to);
  if (std::rename(from.c_str(), to.c_str()) == 0) return {};
  const int err = errno;
  if (err == EXDEV) return copyAcross(from, to);
  return {err, std::generic_category()};
}

void setFaultForTesting(Fault fault) {
  std::lock_guard lock(faultMutex);
  injected = std::move(fault);
}

void setCopyAlwaysForTesting(bool copy) {
  copyAlways = copy;
}

}  // namespace BundleMove

}  // namespace qh
