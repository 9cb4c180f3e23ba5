// "last_comparison.txt" in the support folder: which files the update
// engine's last comparison found different from the manifest, kept for the
// diagnostics a player sends to support.
// Thread-safety: any thread.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "update/manifest.h"

namespace qh::LastComparison {

inline constexpr const char* fileName = "last_comparison.txt";
// Paths listed at most; the count covers them all.
inline constexpr size_t maxListed = 100;

// "<UTC time>: <n> file(s) different\n", then the first maxListed paths, one a line.
std::string render(std::time_t when, const std::vector<ManifestEntry>& different);

// Replaces the file with render() for now. A failure is ignored.
void write(const std::filesystem::path& stateDir, const std::vector<ManifestEntry>& different);

}  // namespace qh::LastComparison
