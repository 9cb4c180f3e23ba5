// The install folder's record of the last complete update: ".qhversion" (the
// server's version text) and ".qhmanifest" (its manifest exactly as received).
// Thread-safety: file-system operations, any thread.
#pragma once

#include <filesystem>
#include <string>

namespace qh::Markers {

inline constexpr const char* versionFile = ".qhversion";
inline constexpr const char* manifestFile = ".qhmanifest";

// The recorded version, trimmed; "" when missing or unreadable.
std::string readVersion(const std::filesystem::path& installDir);
// The recorded manifest as stored; "" when missing or unreadable.
std::string readManifest(const std::filesystem::path& installDir);
// Writes both atomically; returns false when either write failed.
bool write(const std::filesystem::path& installDir, const std::string& version,
           const std::string& manifest);
// Deletes both; missing files and failures are ignored.
void remove(const std::filesystem::path& installDir);

}  // namespace qh::Markers
