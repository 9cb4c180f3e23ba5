#include "update/markers.h"

#include "core/files.h"
#include "core/text.h"

namespace qh::Markers {

namespace {

// The markers are the launcher's own files; one that is a link out of the
// client folder is not read.
std::optional<std::string> readMarker(const std::filesystem::path& installDir, const char* name) {
  const std::filesystem::path file = installDir / name;
  if (!Files::resolvesInside(installDir, file)) return std::nullopt;
  return Files::readUtf8(file);
}

}  // namespace

std::string readVersion(const std::filesystem::path& installDir) {
  const auto bytes = readMarker(installDir, versionFile);
  return bytes ? Text::trimWhitespace(*bytes) : std::string();
}

std::string readManifest(const std::filesystem::path& installDir) {
  return readMarker(installDir, manifestFile).value_or(std::string());
}

bool write(const std::filesystem::path& installDir, const std::string& version,
           const std::string& manifest) {
  const bool versionOk = !Files::writeAtomic(installDir / versionFile, version);
  const bool manifestOk = !Files::writeAtomic(installDir / manifestFile, manifest);
  return versionOk && manifestOk;
}

void remove(const std::filesystem::path& installDir) {
  std::error_code ec;
  std::filesystem::remove(installDir / versionFile, ec);
  std::filesystem::remove(installDir / manifestFile, ec);
}

}  // namespace qh::Markers
