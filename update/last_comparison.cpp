#include "update/last_comparison.h"

#include "core/files.h"
#include "core/text.h"

namespace qh::LastComparison {

std::string render(std::time_t when, const std::vector<ManifestEntry>& different) {
  std::string text = Text::utcTime(when, "%Y-%m-%d %H:%M:%S UTC") + ": " +
                     std::to_string(different.size()) + " file(s) different\n";
  for (size_t i = 0; i < different.size() && i < maxListed; ++i) text += different[i].rel + "\n";
  if (different.size() > maxListed)
    text += "(and " + std::to_string(different.size() - maxListed) + " more)\n";
  return text;
}

void write(const std::filesystem::path& stateDir, const std::vector<ManifestEntry>& different) {
  Files::writeAtomic(stateDir / fileName, render(std::time(nullptr), different));
}

}  // namespace qh::LastComparison
