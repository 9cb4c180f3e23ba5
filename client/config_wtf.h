// The client's settings file "WTF/Config.wtf": defaults for a fresh client and
// single-setting edits that leave every other line alone.
// Thread-safety: no shared state; concurrent calls on one install folder race
// like any two writers of one file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/paths.h"

namespace qh::ClientFiles {

// installDir/"WTF/Config.wtf".
std::filesystem::path configWtfPath(const Paths& paths);

// The default settings, one `SET key "value"` line each, CR LF after every line.
std::string defaultConfigWtf();

// Writes the defaults when Config.wtf is missing; an existing file, even an
// empty one, is never looked at. Failures leave the file missing.
void ensureConfigWtf(const Paths& paths);

// The file text with every line setting `key` (keyword and key in any case,
// one space each) replaced by `SET key "value"`, or the line added before the
// final line break when there is none. nullopt when the key was already set to
// exactly that, so nothing needs writing. The text keeps CR LF when it has
// any, else becomes LF throughout.
std::optional<std::string> withConfigLine(std::string_view text, std::string_view key,
                                          std::string_view value);

// Edits one setting of an existing Config.wtf, keeping the previous content
// in "Config.wtf.qhbak". True only when the file was rewritten; false when it
// cannot be read as UTF-8, already says so, or the write failed. Never creates
// the file.
bool setConfigWtfLine(const Paths& paths, std::string_view key, std::string_view value);

}  // namespace qh::ClientFiles
