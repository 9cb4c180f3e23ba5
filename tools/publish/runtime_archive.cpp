#include "tools/publish/runtime_archive.h"

#include <unistd.h>

#include <algorithm>

#include "compat/program.h"
#include "core/error.h"
#include "core/files.h"
#include "net/hash.h"
#include "platform/platform.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace RuntimeArchive {
namespace {

// Shorter paths first, then by name, so the choice never depends on listing order.
bool shorter(const fs::path& a, const fs::path& b) {
  const auto da = std::distance(a.begin(), a.end()), db = std::distance(b.begin(), b.end());
  return da != db ? da < db : a.generic_string() < b.generic_string();
}

bool insideDxvk(const fs::path& rel) {
  for (const auto& part : rel.parent_path()) {
    if (part == "dxvk") return true;
  }
  return false;
}

void keepBest(std::optional<fs::path>& best, const fs::path& candidate) {
  if (!best || shorter(candidate, *best)) best = candidate;
}

// A wine in a "bin" folder beats any other; then the shorter path wins.
void keepBestWine(std::optional<fs::path>& best, const fs::path& candidate) {
  const auto inBin = [](const fs::path& p) { return p.parent_path().filename() == "bin"; };
  if (!best || (inBin(candidate) && !inBin(*best)) ||
      (inBin(candidate) == inBin(*best) && shorter(candidate, *best))) {
    best = candidate;
  }
}

bool validId(const std::string& id) {
  if (id.empty() || id == "." || id == "..") return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

}  // namespace

Layout find(const fs::path& runtimeDir) {
  std::optional<fs::path> wine, frameworks, dxvk;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(runtimeDir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const fs::path rel = it->path().lexically_relative(runtimeDir);
    const std::string name = it->path().filename().string();
    if (it->is_symlink()) continue;
    if (name == "wine" && it->is_regular_file() && ::access(it->path().c_str(), X_OK) == 0) {
      keepBestWine(wine, rel);
    } else if (name == "Frameworks" && it->is_directory()) {
      keepBest(frameworks, rel);
    } else if (name == "d3d9.dll" && it->is_regular_file() && insideDxvk(rel)) {
      keepBest(dxvk, rel);
    }
  }
  if (ec) throw systemError("cannot list", runtimeDir, ec);
  if (!wine) throw Error("no executable \"wine\" in " + runtimeDir.string());
  const fs::path server = runtimeDir / wine->parent_path() / "wineserver";
  if (::access(server.c_str(), X_OK) != 0) {
    throw Error("no executable \"wineserver\" beside " + (runtimeDir / *wine).string());
  }
  Layout layout;
  layout.wineBin = wine->generic_string();
  if (frameworks) {
    layout.libDir = frameworks->generic_string();
  } else if (const fs::path lib = wine->parent_path().parent_path() / "lib";
             fs::is_directory(runtimeDir / lib, ec)) {
    layout.libDir = lib.generic_string();
  }
  if (dxvk) layout.dxvkDll = dxvk->generic_string();
  return layout;
}

void publish(const fs::path& runtimeDir, const std::string& id, const fs::path& out, Os os) {
  if (!validId(id)) {
    throw Error("runtime id \"" + id + "\" must be letters, digits, \".\", \"_\" or \"-\"");
  }
  const Layout layout = find(runtimeDir);
  const OsLayout& folder = osLayout(os);
  const fs::path archive = out / folder.runtimeArchive(id);
  fs::create_directories(archive.parent_path());
  // Packed beside its final name, then renamed: a server never sees half an archive.
  const fs::path partial = archive.parent_path() / ("." + id + ".tar.xz.part");
  // GNU tar: "./x" becomes "<id>/x", whatever the folder itself is called.
  const int status = Program::runBlocking(
      Platform::tarPath(),
      {"--sort=name", "--owner=0", "--group=0", "--numeric-owner", "--mtime=@0",
       "--transform=s,^\\.," + id + ",", "-cJf", partial.string(), "-C", runtimeDir.string(), "."},
      std::nullopt, std::nullopt);
  std::error_code ec;
  if (status != 0) {
    fs::remove(partial, ec);
    throw Error("tar could not pack " + runtimeDir.string() + " (exit " + std::to_string(status) +
                ")");
  }
  fs::rename(partial, archive);

  std::string text = "wine_id=" + id + "\n";
  text += "wine_url=runtime/" + id + ".tar.xz\n";
  text += "wine_sha256=" + Hash::sha256(archive) + "\n";
  text += "wine_size=" + std::to_string(fs::file_size(archive)) + "\n";
  text += "wine_bin=" + id + "/" + layout.wineBin + "\n";
  if (layout.libDir) text += "wine_libs=" + id + "/" + *layout.libDir + "\n";
  if (layout.dxvkDll) text += "dxvk_dll=" + id + "/" + *layout.dxvkDll + "\n";
  const fs::path description = out / folder.runtimeDescription;
  if (const std::error_code err = Files::writeAtomic(description, text)) {
    throw systemError("cannot write", description, err);
  }
}

}  // namespace RuntimeArchive

}  // namespace qh
