// The launcher's diagnostic journal, "launcher.log" in the support folder.
// Thread-safety: every function may be called from any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace qh::Log {

// Where records go; while unset, line() does nothing.
void setFile(std::optional<std::filesystem::path> file);

// Appends "<UTC time>  v3  <message>\n" in one write. Never fails the caller.
void line(std::string_view message);

}  // namespace qh::Log
