// A made-up game client for the demo, tests and benchmarks: the usual folders,
// names with spaces and accents, files of mixed sizes with deterministic
// pseudo-random bytes.
// Thread-safety: plain functions over the file system, any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qh::SampleClient {

// Writes about `totalBytes` in `fileCount` files (at least 6) below `dir` and
// returns their relative paths. The same arguments give the same tree.
std::vector<std::string> generate(const std::filesystem::path& dir, int64_t totalBytes,
                                  int fileCount, uint64_t seed = 1);

// Writes `size` pseudo-random bytes to `file`, creating its folder.
void writeFile(const std::filesystem::path& file, int64_t size, uint64_t seed);

// True when every regular file below `source` is under `copy` with the same
// bytes; otherwise false with the first difference described.
bool sameFiles(const std::filesystem::path& source, const std::filesystem::path& copy,
               std::string* difference = nullptr);

// A tree shaped like a real client: `gameExe` copied as "QuellhavenGame.exe",
// Data/ with a few large archives and the enUS locale, two addons in
// Interface/AddOns, many small interface files, WTF/Account, Cache/WDB with
// ".wdb" files and Logs/. About `totalBytes` in all (at least 4 MB), at least
// `fileCount` files. Files already there with the right size (text files: the
// right bytes) are left alone, so regenerating rewrites only what changed.
// Returns the relative paths, sorted.
std::vector<std::string> generateShaped(const std::filesystem::path& dir, int64_t totalBytes,
                                        int fileCount, const std::filesystem::path& gameExe,
                                        uint64_t seed = 1);

// The addon folders generateShaped() writes.
std::vector<std::string> shapedAddons();

// A runtime folder `dir` (its name is the runtime id) whose bin/wine and
// bin/wineserver hand over to the system's Wine; false when there is none.
// With `stub`, or without a system Wine, they are stand-ins instead: wine
// makes the prefix's folders for "wineboot", accepts "regedit", and "runs" a
// client by writing its Logs/client.log and waiting the seconds its
// qh_exit.txt names (default 15). Returns whether the system's Wine is used.
bool writeRuntime(const std::filesystem::path& dir, bool stub);

}  // namespace qh::SampleClient
