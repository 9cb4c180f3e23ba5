// The rules by which the comparison decides that a file must be downloaded:
// one file per case, in a folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/temp_dir.h"
#include "update/compare.h"

namespace qh {

namespace {

const std::string kContent = "the published bytes";
// SHA-1 of kContent.
const std::string kSha1 = "83ac34d116c75ba85ab288057307162c15d7cf62";
const std::string kOtherSha1 = "1111111111111111111111111111111111111111";

struct Rule {
  const char* name;
  std::string rel;
  // On disk before the comparison; absent: no file.
  std::optional<std::string> onDisk;
  // The checksum the last install recorded for the path; absent: none.
  std::optional<std::string> recorded;
  bool force;
  bool needed;
  // The manifest's checksum; kSha1 unless given.
  std::string sha1 = kSha1;
};

class CompareRule : public ::testing::TestWithParam<Rule> {};

TEST_P(CompareRule, DecidesWhetherTheFileIsNeeded) {
  const Rule& r = GetParam();
  TempDir dir;
  std::filesystem::create_directories(dir / "client");
  if (r.onDisk) dir.write("client/" + r.rel, *r.onDisk);
  const ManifestEntry entry{r.sha1, static_cast<int64_t>(kContent.size()), r.rel};
  Compare::Known known;
  if (r.recorded) known = Compare::knownChecksums({{*r.recorded, entry.size, r.rel}});
  const auto needed = Compare::neededEntries({entry}, known, dir / "client", r.force,
                                             [](const std::string&, std::optional<double>) {});
  EXPECT_EQ(needed.size(), r.needed ? 1u : 0u);
}

const std::string kTruncated = kContent.substr(0, 5);
const std::string kDamaged = std::string(kContent.size(), 'x');

INSTANTIATE_TEST_SUITE_P(
    Rules, CompareRule,
    ::testing::Values(
        // Size first: a file of the wrong size is fetched again even though
        // its recorded checksum is the manifest's.
        Rule{"TruncatedWithTheSameRecordedChecksum", "Data/a.MPQ", kTruncated, kSha1, false, true},
        Rule{"LongerWithoutARecordedChecksum", "Data/a.MPQ", kContent + "!", std::nullopt, false,
             true},
        Rule{"Missing", "Data/a.MPQ", std::nullopt, kSha1, false, true},
        // Then the recorded checksum: a change is fetched without reading the file.
        Rule{"RightSizeRecordedChecksumChanged", "Data/a.MPQ", kContent, kOtherSha1, false, true},
        Rule{"RightSizeRecordedChecksumTheSame", "Data/a.MPQ", kDamaged, kSha1, false, false},
        Rule{"RightSizeNothingRecorded", "Data/a.MPQ", kDamaged, std::nullopt, false, false},
        // Forced, every file whose size and record match is read in full.
        Rule{"ForcedDamagedOfTheRightSize", "Data/a.MPQ", kDamaged, kSha1, true, true},
        Rule{"ForcedDamagedNothingRecorded", "Data/a.MPQ", kDamaged, std::nullopt, true, true},
        Rule{"ForcedIntact", "Data/a.MPQ", kContent, kSha1, true, false},
        Rule{"ForcedIntactUpperCaseInTheManifest", "Data/a.MPQ", kContent, std::nullopt, true,
             false, "83AC34D116C75BA85AB288057307162C15D7CF62"},
        // The player's settings are supplied once and never replaced.
        Rule{"WtfFileOfAnotherSize", "WTF/Config.wtf", kTruncated, kOtherSha1, true, false},
        Rule{"WtfFileMissing", "WTF/Config.wtf", std::nullopt, std::nullopt, false, true},
        Rule{"WtfInLowerCase", "wtf/Account/x.lua", "mine", std::nullopt, false, false},
        // The launcher's own files are never fetched by the client's update.
        Rule{"TheLauncherItself", "Quellhaven.exe", std::nullopt, std::nullopt, true, false},
        Rule{"TheLauncherInAnyCase", "Bin/QUELLHAVEN.EXE", kTruncated, kSha1, false, false},
        Rule{"TheLaunchersArchives", "Bin/QuellhavenLauncher-3.zip", std::nullopt, std::nullopt,
             false, false},
        Rule{"ANameThatOnlyContainsIt", "Data/MyQuellhaven.exe", std::nullopt, std::nullopt, false,
             true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
