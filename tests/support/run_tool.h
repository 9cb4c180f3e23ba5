// Runs one of the project's command-line tools (or any program) to completion.
#pragma once

#include <fcntl.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "support/temp_dir.h"

namespace qh {

struct ToolResult {
  int exitCode = -1;  // as platform/process.h encodes it
  std::string out;
  std::string err;
};

// Without a time limit of its own: a tool that hangs is ended with its test.
inline ToolResult runTool(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  const auto errFile = dir / "stderr";
  const UniqueFd err(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  Process::Request request{program, args};
  request.input = Process::Stream::nullDevice();
  request.error = Process::Stream::to(err.get());
  ToolResult r;
  r.exitCode = Process::runReading(request, [&r](std::string_view chunk) {
    r.out += chunk;
    return true;
  });
  r.err = slurp(errFile);
  return r;
}

}  // namespace qh
