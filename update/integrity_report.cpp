#include "update/integrity_report.h"

#include <cstdio>

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"
#include "update/install_tree.h"
#include "update/markers.h"
#include "update/tree_pass.h"

namespace qh {

namespace fs = std::filesystem;

namespace IntegrityReport {
namespace {

// A Lua string literal; control bytes as three-digit escapes so a following
// digit cannot join them. Bytes from 0x80 pass as they are (UTF-8).
std::string luaString(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  for (const unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\%03u", static_cast<unsigned>(c));
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace

fs::path file(const fs::path& installDir) {
  return installDir / "WTF" / "SavedVariables" / "QuellhavenIntegrity.lua";
}

Result check(const fs::path& installDir, const std::vector<ManifestEntry>& entries) {
  // Each size in its own slot: the threads share none.
  std::vector<int64_t> found(entries.size(), -1);
  forEachInTree(installDir, entries.size(), 2048, [&](InstallTree& tree, size_t i) {
    const InstallTree::Target target = tree.locate(entries[i].rel);
    if (target.size) found[i] = *target.size;
  });

  Result result;
  for (size_t i = 0; i < entries.size(); ++i) {
    ++result.checked;
    if (found[i] == entries[i].size) continue;
    ++result.problemCount;
    if (result.problems.size() < maxListed)
      result.problems.push_back({entries[i].rel, entries[i].size, found[i]});
  }
  return result;
}

std::string render(const Result& result, const std::string& clientVersion,
                   std::chrono::system_clock::time_point when) {
  std::string out = "-- Written by the launcher before each launch.\nQuellhavenIntegrity = {\n";
  out += "  launcherBuild = " + std::to_string(QH::launcherBuild) + ",\n";
  out += "  clientVersion = " + luaString(clientVersion) + ",\n";
  out +=
      "  time = " +
      luaString(Text::utcTime(std::chrono::system_clock::to_time_t(when), "%Y-%m-%dT%H:%M:%SZ")) +
      ",\n";
  out += "  checked = " + std::to_string(result.checked) + ",\n";
  out += "  problems = " + std::to_string(result.problemCount) + ",\n";
  out += "  files = {\n";
  for (const Problem& p : result.problems) {
    out += "    { path = " + luaString(p.rel) + ", expected = " + std::to_string(p.expected) +
           ", found = " + std::to_string(p.found) + " },\n";
  }
  out += "  },\n";
  out += "  unlisted = " +
         std::to_string(result.problemCount - static_cast<int64_t>(result.problems.size())) +
         ",\n}\n";
  return out;
}

bool write(const fs::path& installDir, std::chrono::system_clock::time_point when) {
  try {
    std::error_code ec;
    // A vanished client folder is not brought back by its report.
    if (!fs::is_directory(installDir, ec)) return false;
    const std::vector<ManifestEntry> entries = Manifest::parse(Markers::readManifest(installDir));
    const Result result = check(installDir, entries);
    const fs::path target = file(installDir);
    if (!Files::resolvesInside(installDir, target)) return false;
    fs::create_directories(target.parent_path(), ec);
    return !Files::writeAtomic(target, render(result, Markers::readVersion(installDir), when));
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace IntegrityReport

}  // namespace qh
