#include "compat/runtime_spec.h"

#include <QUrl>
#include <algorithm>
#include <charconv>

#include "core/text.h"

namespace qh {

namespace {

// A signed decimal that fits 64 bits, "+" allowed; anything else is unknown.
int64_t parseSize(const std::string& value) {
  std::string_view digits = value;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return -1;
  // Read through the sign so that the most negative value still fits.
  std::string signedText;
  if (negative) signedText.push_back('-');
  signedText.append(digits);
  int64_t size = -1;
  const auto [end, ec] =
      std::from_chars(signedText.data(), signedText.data() + signedText.size(), size);
  if (ec != std::errc() || end != signedText.data() + signedText.size()) return -1;
  return size;
}

std::optional<std::string> nonEmpty(const std::map<std::string, std::string>& table,
                                    const std::string& key) {
  const auto it = table.find(key);
  if (it == table.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

bool isUrl(const std::string& text) {
  const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
  return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

// The id names folders and files inside the support folder, and the other paths
// are joined below the runtime folder: a description that could reach outside
// them (and have an install or reset delete there) is no description at all.
bool isSafeName(const std::string& name) {
  return name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

bool isSafeRelativePath(const std::string& path) {
  if (path.empty() || path.front() == '/' || path.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::optional<RuntimeSpec> RuntimeSpec::parse(std::string_view text,
                                              const std::string& relativeTo) {
  std::map<std::string, std::string> table;
  for (const std::string& raw : Text::splitLines(text)) {
    const std::string line = Text::trimBlanks(raw);
    if (line.empty() || line.front() == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    table[Text::trimBlanks(line.substr(0, eq))] = Text::trimBlanks(line.substr(eq + 1));
  }
  return from(table, relativeTo);
}

std::optional<RuntimeSpec> RuntimeSpec::from(const std::map<std::string, std::string>& table,
                                             const std::string& relativeTo) {
  if (table.empty()) return std::nullopt;
  for (const char* key : {"wine_id", "wine_url", "wine_sha256", "wine_bin"}) {
    if (!table.contains(key)) return std::nullopt;
  }
  RuntimeSpec spec;
  spec.id = table.at("wine_id");
  spec.wineBin = table.at("wine_bin");
  if (spec.id.empty() || spec.wineBin.empty()) return std::nullopt;
  if (!isSafeName(spec.id) || !isSafeRelativePath(spec.wineBin)) return std::nullopt;
  const std::string& url = table.at("wine_url");
  spec.url = Text::lower(url).starts_with("http") ? url : relativeTo + "/" + url;
  if (!isUrl(spec.url)) return std::nullopt;
  spec.sha256 = table.at("wine_sha256");
  spec.libDir = nonEmpty(table, "wine_libs");
  spec.dxvkDll = nonEmpty(table, "dxvk_dll");
  for (const auto& optional : {spec.libDir, spec.dxvkDll}) {
    if (optional && !isSafeRelativePath(*optional)) return std::nullopt;
  }
  const auto size = table.find("wine_size");
  spec.size = size == table.end() ? -1 : parseSize(size->second);
  return spec;
}

const std::map<std::string, std::string>& fallbackRuntime() {
  static const std::map<std::string, std::string> table = {
      {"wine_id", "qh-wine-cx23.7.1-2"},
      {"wine_url", "runtime/qh-wine-cx23.7.1-2.tar.xz"},
      {"wine_sha256", ""},
      {"wine_bin", "qh-wine-cx23.7.1-2/wswine.bundle/bin/wine"},
      {"wine_libs", "qh-wine-cx23.7.1-2/Frameworks"},
      {"dxvk_dll", "qh-wine-cx23.7.1-2/dxvk/d3d9.dll"},
  };
  return table;
}

}  // namespace qh
