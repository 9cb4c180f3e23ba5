// The one place an errno value becomes text. A failed system call is kept as
// a std::error_code; words are made from it only where someone reads them.
// Thread-safety: any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace qh {

// errno as an error code. Call it right after the call that failed, before
// anything else can change errno; never when nothing failed (0 is success).
std::error_code lastSystemError();

// The reason alone: "No space left on device".
std::string errorText(std::error_code ec);

// "<operation> <subject>: <reason>", the operation and its subject named as
// the reader needs them: "open for writing /c/Data/a.MPQ.part: Is a directory".
std::string describe(std::string_view operation, const std::filesystem::path& subject,
                     std::error_code ec);

// The failure as an exception, for a flow that passes it on: code() is `ec`,
// what() is describe()'s text.
std::system_error systemError(std::string_view operation, const std::filesystem::path& subject,
                              std::error_code ec);

}  // namespace qh
