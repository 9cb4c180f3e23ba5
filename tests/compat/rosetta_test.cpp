#include <gtest/gtest.h>

#include "compat/rosetta.h"
#include "compat/runtime.h"
#include "support/fake_rosetta.h"

namespace qh {

namespace {

const std::string su = Rosetta::softwareUpdate;
const std::string osa = Rosetta::osascript;

struct Case {
  const char* name;
  bool appleSilicon;
  bool presentBefore;
  std::map<std::string, FakeRosetta::Tool> tools;
  bool needed;
  bool result;
  size_t ran;  // the first `ran` of softwareupdate, then osascript as admin
};

class RosettaGate : public ::testing::TestWithParam<Case> {};

TEST_P(RosettaGate, RunsTheToolsItMustAndNoOthers) {
  const Case c = GetParam();
  FakeRosetta mac;
  mac.appleSilicon = c.appleSilicon;
  mac.present = c.presentBefore;
  mac.tools = c.tools;
  EXPECT_EQ(Runtime::rosettaNeeded(mac), c.needed);
  if (!c.needed) {
    EXPECT_TRUE(mac.runs.empty());
    return;
  }
  EXPECT_EQ(Runtime::installRosetta(mac), c.result);
  const std::vector<FakeRosetta::Run> all = {
      {su, {"--install-rosetta", "--agree-to-license"}, true},
      {osa,
       {"-e",
        "do shell script \"/usr/sbin/softwareupdate --install-rosetta --agree-to-license\" with "
        "administrator privileges"},
       false}};
  const std::vector<FakeRosetta::Run> expected(all.begin(),
                                               all.begin() + static_cast<std::ptrdiff_t>(c.ran));
  EXPECT_EQ(mac.runs, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RosettaGate,
    ::testing::Values(
        Case{"intel", false, false, {}, false, true, 0},
        Case{"present", true, true, {}, false, true, 0},
        Case{"softwareupdate", true, false, {{su, {1, true}}}, true, true, 1},
        Case{"admin", true, false, {{su, {1, false}}, {osa, {0, true}}}, true, true, 2},
        Case{"cancelled", true, false, {{su, {1, false}}, {osa, {1, true}}}, true, false, 2},
        Case{"noOsascript", true, false, {{su, {1, false}}}, true, false, 2},
        Case{"zeroButMissing", true, false, {{su, {1, false}}, {osa, {0, false}}}, true, false, 2}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
