// The description of the compatibility runtime the launcher installs: which
// archive, how to check it, and where wine, its libraries and DXVK lie inside.
// Thread-safety: a plain value; the functions are pure.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qh {

struct RuntimeSpec {
  // Names the runtime folder, the archive, the prefix and both markers; never empty.
  std::string id;
  // Absolute URL of the tar.xz archive; empty for the system's Wine.
  std::string url;
  // Lower- or upper-case hex; empty means no checksum test.
  std::string sha256;
  // Archive size in bytes; -1 means unknown (no size test).
  int64_t size = -1;
  // Relative to the runtime folder (absolute for the system's Wine); never empty.
  std::string wineBin;
  // Relative to the runtime folder; never empty when present.
  std::optional<std::string> libDir;
  std::optional<std::string> dxvkDll;
  // The Wine of the system's packages (compat/system_wine.h): nothing to
  // download or unpack.
  bool systemWine = false;

  // Reads "key=value" lines (comments, blanks and lines without "=" skipped;
  // the later of two equal keys wins) and hands the table to from().
  static std::optional<RuntimeSpec> parse(std::string_view text, const std::string& relativeTo);
  // The description a key table gives, or nullopt when a required key is
  // missing or empty or the archive URL does not parse. A "wine_url" not
  // starting with "http" is taken below `relativeTo` + "/".
  static std::optional<RuntimeSpec> from(const std::map<std::string, std::string>& table,
                                         const std::string& relativeTo);

  bool operator==(const RuntimeSpec&) const = default;
};

// The built-in key table of the runtime, for when the server describes none.
const std::map<std::string, std::string>& fallbackRuntime();

}  // namespace qh
