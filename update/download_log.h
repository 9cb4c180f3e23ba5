// "download_errors.log" in the support folder: one line per failed download
// attempt and per file the server does not have. Only ever appended to.
// Thread-safety: any thread; the update engine writes from one thread at a time.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace qh::DownloadLog {

inline constexpr const char* fileName = "download_errors.log";

// "<UTC time>  v3  attempt <n>/4  <rel>  <message>\n", the time as
// "2026-12-04 20:40:08 +0000".
std::string record(std::time_t when, const std::string& rel, int attempt,
                   const std::string& message);

// Appends one record for now; creates the log when missing. Never fails the caller.
void append(const std::filesystem::path& stateDir, const std::string& rel, int attempt,
            const std::string& message);

}  // namespace qh::DownloadLog
