// A machine as a test sets it up for the Rosetta 2 gate: whether it is Apple
// Silicon, whether the translator is there, and what running each tool does.
// Records every run. The runs happen on a worker; read them once it is done.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "compat/rosetta.h"

namespace qh {

class FakeRosetta final : public RosettaHost {
 public:
  struct Tool {
    int status;
    bool installs;  // the translator is there afterwards
  };
  struct Run {
    std::string program;
    std::vector<std::string> args;
    bool quiet;
    bool operator==(const Run&) const = default;
  };

  bool appleSilicon = false;
  mutable bool present = false;
  // By program path; a program not listed cannot be started.
  std::map<std::string, Tool> tools;
  mutable std::vector<Run> runs;

  bool isAppleSilicon() const override { return appleSilicon; }
  bool rosettaPresent() const override { return present; }
  int run(const std::filesystem::path& program, const std::vector<std::string>& args,
          bool quiet) const override {
    runs.push_back({program.string(), args, quiet});
    const auto tool = tools.find(program.string());
    if (tool == tools.end()) return -1;
    if (tool->second.installs) present = true;
    return tool->second.status;
  }
};

}  // namespace qh
