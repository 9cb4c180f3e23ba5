// The shims the build made: PE DLLs for their architecture, named version.dll,
// exporting every function of Windows' version.dll and carrying this
// launcher's build number. The i686 one, which the bundle ships, never runs
// here: Debian's Wine starts only 64-bit programs.
#include <gtest/gtest.h>

#include <regex>

#include "compat/program.h"
#include "core/qh.h"
#include "core/text.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

class ShimBuildTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(ShimBuildTest, IsAVersionDllProxyOfThisBuild) {
  const auto& [arch, format] = GetParam();
  const std::filesystem::path dll = std::filesystem::path(QH_SHIM_DIR) / arch / "version.dll";
  TempDir dir;
  ASSERT_EQ(Program::runBlocking("/usr/bin/x86_64-w64-mingw32-objdump", {"-p", dll.string()},
                                 std::nullopt, dir / "headers.txt"),
            0);
  const std::string headers = slurp(dir / "headers.txt");
  EXPECT_NE(headers.find("file format " + format + "\n"), std::string::npos) << headers;
  EXPECT_TRUE(std::regex_search(headers, std::regex("\nName\\s+[0-9a-f]+ version\\.dll\n")));
  const size_t table = headers.find("[Ordinal/Name Pointer] Table\n");
  ASSERT_NE(table, std::string::npos) << headers;
  std::vector<std::string> names;
  const auto lines = Text::splitLines(headers.substr(table));
  for (size_t i = 1; i < lines.size() && lines[i].starts_with("\t["); ++i) {
    names.push_back(lines[i].substr(lines[i].find("] ") + 2));
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{
                "GetFileVersionInfoA", "GetFileVersionInfoByHandle", "GetFileVersionInfoExA",
                "GetFileVersionInfoExW", "GetFileVersionInfoSizeA", "GetFileVersionInfoSizeExA",
                "GetFileVersionInfoSizeExW", "GetFileVersionInfoSizeW", "GetFileVersionInfoW",
                "VerFindFileA", "VerFindFileW", "VerInstallFileA", "VerInstallFileW",
                "VerLanguageNameA", "VerLanguageNameW", "VerQueryValueA", "VerQueryValueW"}));
  EXPECT_NE(slurp(dll).find(" launcher=" + std::to_string(QH::launcherBuild) + "\r\n"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Architectures, ShimBuildTest,
                         ::testing::Values(std::pair{"i686", "pei-i386"},
                                           std::pair{"x86_64", "pei-x86-64"}),
                         [](const auto& info) { return info.param.first; });

}  // namespace

}  // namespace qh
