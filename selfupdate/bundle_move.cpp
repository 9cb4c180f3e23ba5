#include "selfupdate/bundle_move.h"

#include <cstdio>

#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace BundleMove {
namespace {

// Why `from` cannot move to `to` before anything is tried, or success.
std::error_code precondition(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::exists(from, ec))
    return ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
  if (fs::exists(to, ec) || ec) return ec ? ec : std::make_error_code(std::errc::file_exists);
  return {};
}

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
  if (const std::error_code ec = precondition(from, to)) return ec;
  if (std::rename(from.c_str(), to.c_str()) == 0) return {};
  const std::error_code err = lastSystemError();
  if (err == std::errc::cross_device_link) return copyAcross(from, to);
  return err;
}

std::error_code moveByCopy(const fs::path& from, const fs::path& to) {
  if (const std::error_code ec = precondition(from, to)) return ec;
  return copyAcross(from, to);
}

}  // namespace BundleMove

}  // namespace qh
