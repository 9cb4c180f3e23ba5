#include "tools/publish/launcher_archive.h"

#include <unistd.h>

#include <string>

#include "core/error.h"
#include "core/files.h"
#include "core/text.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace LauncherArchive {
namespace {

[[noreturn]] void fail(const std::string& message) {
  throw Error("launcher archive: " + message);
}

// bsdtar writes zip with each entry's Unix mode and links stored as links,
// which the launcher's unzip restores.
void zipInto(const fs::path& bundle, const fs::path& zip) {
  Process::Request request{"/usr/bin/bsdtar",
                           {"--format", "zip", "-c", "-f", zip.string(), "-C",
                            bundle.parent_path().string(), bundle.filename().string()}};
  request.input = Process::Stream::nullDevice();
  // It writes the zip to its file, so all it says is its complaints.
  request.error = Process::Stream::sameAsOutput();
  std::string said;
  const int status = Process::runReading(request, [&said](std::string_view chunk) {
    said += chunk;
    return true;
  });
  if (status == -1) fail("cannot run /usr/bin/bsdtar");
  if (status != 0) fail("/usr/bin/bsdtar failed: " + Text::trimWhitespace(said));
}

}  // namespace

void publish(const fs::path& bundle, int build, const fs::path& out, Os os) {
  fs::path source = fs::absolute(bundle).lexically_normal();
  if (!source.has_filename()) source = source.parent_path();  // "X.app/"
  std::error_code ec;
  if (source.extension() != ".app" || !fs::is_directory(source, ec)) {
    fail(source.string() + " is not an application bundle folder (*.app)");
  }
  const OsLayout& layout = osLayout(os);
  const fs::path zip = out / layout.launcherArchive;
  const fs::path folder = zip.parent_path();
  fs::create_directories(folder, ec);
  if (ec) fail(describe("cannot create", folder, ec));

  const fs::path partial =
      folder / ("." + zip.filename().string() + ".tmp-" + std::to_string(getpid()));
  fs::remove(partial, ec);
  try {
    zipInto(source, partial);
  } catch (...) {
    fs::remove(partial, ec);
    throw;
  }
  fs::rename(partial, zip, ec);
  if (ec) {
    fs::remove(partial, ec);
    fail(describe("cannot replace", zip, ec));
  }
  const fs::path version = out / layout.launcherVersion;
  if (auto err = Files::writeAtomic(version, std::to_string(build) + "\n")) {
    fail(describe("cannot write", version, err));
  }
}

}  // namespace LauncherArchive

}  // namespace qh
