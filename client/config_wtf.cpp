#include "client/config_wtf.h"

#include <utility>
#include <vector>

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"

namespace qh::ClientFiles {
namespace {

std::string setLine(std::string_view key, std::string_view value) {
  std::string line = "SET ";
  line += key;
  line += " \"";
  line += value;
  line += '"';
  return line;
}

std::vector<std::string> splitAtLf(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf; (lf = text.find('\n', start)) != std::string_view::npos; start = lf + 1) {
    lines.emplace_back(text.substr(start, lf - start));
  }
  lines.emplace_back(text.substr(start));
  return lines;
}

std::string withoutCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::filesystem::path configWtfPath(const Paths& paths) {
  return paths.installDir / "WTF" / "Config.wtf";
}

std::string defaultConfigWtf() {
  const std::pair<const char*, std::string> defaults[] = {
      {"locale", "enUS"},
      {"realmList", QH::realmHost()},
      {"hwDetect", "1"},
      {"gxWindow", "1"},
      {"gxMaximize", "1"},
      {"gxRefresh", "60"},
      {"gxMultisampleQuality", "0.000000"},
      {"gxFixLag", "0"},
      {"videoOptionsVersion", "3"},
      {"movie", "0"},
      {"Gamma", "1.000000"},
      {"readTOS", "1"},
      {"readEULA", "1"},
      {"showToolsUI", "1"},
      {"Sound_OutputDriverName", "System Default"},
      // The single-precision values nearest 0.4 and 0.6, as the client itself writes them.
      {"Sound_MusicVolume", "0.40000000596046"},
      {"Sound_AmbienceVolume", "0.60000002384186"},
      {"farclip", "450.000000"},
      {"specular", "1"},
      {"groundEffectDensity", "24"},
      {"projectedTextures", "1"},
  };
  std::string text;
  for (const auto& [key, value] : defaults) text += setLine(key, value) + "\r\n";
  return text;
}

void ensureConfigWtf(const Paths& paths) {
  const auto file = configWtfPath(paths);
  if (!Files::resolvesInside(paths.installDir, file)) return;
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) return;
  std::filesystem::create_directories(file.parent_path(), ec);
  (void)Files::writeAtomic(file, defaultConfigWtf());
}

std::optional<std::string> withConfigLine(std::string_view text, std::string_view key,
                                          std::string_view value) {
  const std::string newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  std::vector<std::string> lines = splitAtLf(withoutCrLf(text));

  const std::string prefix = "set " + Text::lower(key);
  const std::string wanted = setLine(key, value);
  const std::string wantedLower = Text::lower(wanted);
  bool found = false, changed = false;
  for (std::string& line : lines) {
    const std::string seen = Text::lower(Text::trimHorizontal(line));
    // Exactly one space after the key: a tab or a second space is another line.
    const bool matches = seen == prefix || (seen.starts_with(prefix + ' ') &&
                                            seen.compare(prefix.size() + 1, 1, " ") != 0);
    if (!matches) continue;
    found = true;
    if (seen == wantedLower) continue;
    line = wanted;
    changed = true;
  }
  if (found && !changed) return std::nullopt;
  if (!found) {
    // Before the empty piece a final line break leaves, so the file keeps ending with one.
    if (!lines.empty() && lines.back().empty()) {
      lines.insert(lines.end() - 1, wanted);
    } else {
      lines.push_back(wanted);
    }
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += newline;
    out += lines[i];
  }
  return out;
}

bool setConfigWtfLine(const Paths& paths, std::string_view key, std::string_view value) {
  const auto file = configWtfPath(paths);
  if (!Files::resolvesInside(paths.installDir, file)) return false;
  const std::optional<std::string> current = Files::readUtf8(file);
  if (!current) return false;
  const std::optional<std::string> edited = withConfigLine(*current, key, value);
  if (!edited) return false;
  // The backup is a courtesy: losing it never stops the edit.
  std::filesystem::path backup = file;
  backup += ".qhbak";
  std::error_code ec;
  std::filesystem::remove(backup, ec);
  (void)Files::writeAtomic(backup, *current);
  return !Files::writeAtomic(file, *edited);
}

}  // namespace qh::ClientFiles
