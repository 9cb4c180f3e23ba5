// qh-publish --runtime DIR: the compatibility runtime as the server publishes
// it. DIR's name is the runtime id; the archive holds DIR itself, and
// "mac/runtime.txt" names it with its checksum and size. The archive is
// reproducible (sorted names, fixed owner and times), so an unchanged runtime
// gives the same bytes and the launcher keeps its installed copy.
#include <unistd.h>

#include <QProcess>
#include <filesystem>
#include <stdexcept>

#include "core/files.h"
#include "net/hash.h"
#include "tools/publish/publish.h"

namespace fs = std::filesystem;

namespace {

std::string packRuntime(const PublishContext& context, const std::string& value) {
  std::error_code ec;
  fs::path dir = fs::absolute(value, ec).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  const std::string id = dir.filename().string();
  if (ec || !fs::is_directory(dir, ec)) return "--runtime: " + value + " is not a folder";
  if (id.empty() || id.starts_with(".")) return "--runtime: the folder's name is not a runtime id";
  const fs::path wine = dir / "bin" / "wine";
  if (::access(wine.c_str(), X_OK) != 0 || ::access((dir / "bin" / "wineserver").c_str(), X_OK)) {
    return "--runtime: " + dir.string() + " needs executable bin/wine and bin/wineserver";
  }

  const fs::path runtimes = context.outDir / "mac" / "runtime";
  fs::create_directories(runtimes, ec);
  if (ec) return "--runtime: cannot create " + runtimes.string() + ": " + ec.message();
  const fs::path archive = runtimes / (id + ".tar.xz");
  const fs::path partial = runtimes / ("." + id + ".tar.xz.tmp-" + std::to_string(getpid()));
  QProcess tar;
  tar.setProgram("/usr/bin/tar");
  tar.setArguments({"--sort=name", "--owner=0", "--group=0", "--numeric-owner", "--mtime=@0",
                    "-cJf", QString::fromStdString(partial.string()), "-C",
                    QString::fromStdString(dir.parent_path().string()),
                    QString::fromStdString(id)});
  tar.setEnvironment({"XZ_OPT=-6", "PATH=/usr/bin:/bin"});
  tar.setStandardInputFile(QProcess::nullDevice());
  tar.start();
  if (!tar.waitForFinished(-1) || tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
    fs::remove(partial, ec);
    return "--runtime: /usr/bin/tar failed: " + tar.readAllStandardError().trimmed().toStdString() +
           tar.errorString().toStdString();
  }

  std::string sha256;
  int64_t size = 0;
  try {
    sha256 = Hash::sha256(partial);
    size = static_cast<int64_t>(fs::file_size(partial));
  } catch (const std::exception& e) {
    fs::remove(partial, ec);
    return std::string("--runtime: ") + e.what();
  }
  fs::rename(partial, archive, ec);
  if (ec) {
    fs::remove(partial, ec);
    return "--runtime: cannot write " + archive.string();
  }

  std::string text = "wine_id=" + id + "\nwine_url=runtime/" + id +
                     ".tar.xz\nwine_sha256=" + sha256 + "\nwine_size=" + std::to_string(size) +
                     "\nwine_bin=" + id + "/bin/wine\n";
  if (fs::is_directory(dir / "lib", ec)) text += "wine_libs=" + id + "/lib\n";
  if (fs::is_regular_file(dir / "dxvk" / "d3d9.dll", ec)) {
    text += "dxvk_dll=" + id + "/dxvk/d3d9.dll\n";
  }
  // Written after the archive, so the server never names an archive it lacks.
  const fs::path description = context.outDir / "mac" / "runtime.txt";
  if (const std::error_code err = files::writeAtomic(description, text)) {
    return "--runtime: cannot write " + description.string() + ": " + err.message();
  }
  return "";
}

const bool registered = registerPublishFlag(
    {"--runtime", "DIR",
     "pack the runtime folder DIR (its name is the id; bin/wine, bin/wineserver, optional lib/ "
     "and dxvk/d3d9.dll) as mac/runtime/<id>.tar.xz and describe it in mac/runtime.txt",
     packRuntime});

}  // namespace
