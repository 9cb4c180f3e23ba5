#include <gtest/gtest.h>

#include "compat/rosetta.h"
#include "compat/runtime.h"

namespace qh {

namespace {

struct Case {
  const char* name;
  bool appleSilicon;
  bool presentBefore;
  bool installedBySoftwareUpdate;
  int osascriptStatus;  // -1: cannot start
  bool installedByOsascript;
  bool needed;
  bool result;
  std::vector<std::string> ran;
};

class RosettaGate : public ::testing::TestWithParam<Case> {};

TEST_P(RosettaGate, RunsTheToolsItMustAndNoOthers) {
  const Case c = GetParam();
  bool present = c.presentBefore;
  std::vector<std::string> ran;
  RosettaHost host;
  host.isAppleSilicon = [&] { return c.appleSilicon; };
  host.rosettaPresent = [&] { return present; };
  host.run = [&](const std::filesystem::path& program, const std::vector<std::string>& args,
                 bool quiet) {
    ran.push_back(program.string());
    if (program == Rosetta::softwareUpdate) {
      EXPECT_EQ(args, (std::vector<std::string>{"--install-rosetta", "--agree-to-license"}));
      EXPECT_TRUE(quiet);
      if (c.installedBySoftwareUpdate) present = true;
      return 1;
    }
    EXPECT_EQ(program, Rosetta::osascript);
    EXPECT_EQ(args, (std::vector<std::string>{
                        "-e",
                        "do shell script \"/usr/sbin/softwareupdate --install-rosetta "
                        "--agree-to-license\" with administrator privileges"}));
    EXPECT_FALSE(quiet);
    if (c.installedByOsascript) present = true;
    return c.osascriptStatus;
  };
  EXPECT_EQ(Runtime::rosettaNeeded(host), c.needed);
  if (!c.needed) {
    EXPECT_TRUE(ran.empty());
    return;
  }
  EXPECT_EQ(Runtime::installRosetta(host), c.result);
  EXPECT_EQ(ran, c.ran);
}

const std::string su = Rosetta::softwareUpdate;
const std::string osa = Rosetta::osascript;

INSTANTIATE_TEST_SUITE_P(
    Cases, RosettaGate,
    ::testing::Values(Case{"intel", false, false, false, 0, false, false, true, {}},
                      Case{"present", true, true, false, 0, false, false, true, {}},
                      Case{"softwareupdate", true, false, true, 0, false, true, true, {su}},
                      Case{"admin", true, false, false, 0, true, true, true, {su, osa}},
                      Case{"cancelled", true, false, false, 1, true, true, false, {su, osa}},
                      Case{"noOsascript", true, false, false, -1, false, true, false, {su, osa}},
                      Case{"zeroButMissing", true, false, false, 0, false, true, false, {su, osa}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
