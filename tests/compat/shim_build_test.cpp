// The shims the build made: PE DLLs for their architecture, named version.dll,
// exporting every function of Windows' version.dll and carrying this
// launcher's build number.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/qh.h"
#include "support/temp_dir.h"

namespace {

// Just enough of the PE format to list a DLL's exports.
struct PeExports {
  uint16_t machine = 0;
  std::string dllName;
  std::vector<std::string> names;
};

template <typename T>
T at(const std::string& bytes, size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

PeExports readExports(const std::string& pe) {
  PeExports out;
  const auto header = at<uint32_t>(pe, 0x3c);
  if (pe.compare(header, 4, std::string("PE\0\0", 4)) != 0) return out;
  out.machine = at<uint16_t>(pe, header + 4);
  const auto sections = at<uint16_t>(pe, header + 6);
  const auto optionalSize = at<uint16_t>(pe, header + 20);
  const size_t optional = header + 24;
  const bool pe32plus = at<uint16_t>(pe, optional) == 0x20b;
  const auto exportRva = at<uint32_t>(pe, optional + (pe32plus ? 112 : 96));
  const size_t table = optional + optionalSize;
  const auto offsetOf = [&](uint32_t rva) -> size_t {
    for (size_t i = 0; i < sections; ++i) {
      const size_t s = table + i * 40;
      const auto va = at<uint32_t>(pe, s + 12), size = at<uint32_t>(pe, s + 16);
      if (rva >= va && rva < va + size) return rva - va + at<uint32_t>(pe, s + 20);
    }
    return std::string::npos;
  };
  const auto cstr = [&](uint32_t rva) {
    const size_t o = offsetOf(rva);
    return o == std::string::npos ? std::string() : std::string(pe.c_str() + o);
  };
  const size_t dir = offsetOf(exportRva);
  if (dir == std::string::npos) return out;
  out.dllName = cstr(at<uint32_t>(pe, dir + 12));
  const auto count = at<uint32_t>(pe, dir + 24);
  const size_t names = offsetOf(at<uint32_t>(pe, dir + 32));
  for (uint32_t i = 0; i < count && names != std::string::npos; ++i) {
    out.names.push_back(cstr(at<uint32_t>(pe, names + 4 * i)));
  }
  return out;
}

struct ShimCase {
  const char* arch;
  uint16_t machine;
};

class ShimBuildTest : public ::testing::TestWithParam<ShimCase> {};

TEST_P(ShimBuildTest, IsAVersionDllProxyOfThisBuild) {
  const std::string dll =
      slurp(std::filesystem::path(QH_SHIM_DIR) / GetParam().arch / "version.dll");
  ASSERT_TRUE(dll.starts_with("MZ"));
  const PeExports exports = readExports(dll);
  EXPECT_EQ(exports.machine, GetParam().machine);
  EXPECT_EQ(exports.dllName, "version.dll");
  EXPECT_EQ(exports.names,
            (std::vector<std::string>{
                "GetFileVersionInfoA", "GetFileVersionInfoByHandle", "GetFileVersionInfoExA",
                "GetFileVersionInfoExW", "GetFileVersionInfoSizeA", "GetFileVersionInfoSizeExA",
                "GetFileVersionInfoSizeExW", "GetFileVersionInfoSizeW", "GetFileVersionInfoW",
                "VerFindFileA", "VerFindFileW", "VerInstallFileA", "VerInstallFileW",
                "VerLanguageNameA", "VerLanguageNameW", "VerQueryValueA", "VerQueryValueW"}));
  EXPECT_NE(dll.find(" launcher=" + std::to_string(QH::launcherBuild) + "\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Architectures, ShimBuildTest,
                         ::testing::Values(ShimCase{"i686", 0x14c}, ShimCase{"x86_64", 0x8664}),
                         [](const auto& info) { return std::string(info.param.arch); });

}  // namespace
