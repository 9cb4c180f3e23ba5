#include <gtest/gtest.h>

#include "client/addons.h"
#include "support/client_folder.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> official = {"Questie", "pfUI"};
const std::string officialList = "Questie: enabled\r\npfUI: enabled\r\n";

class Reconcile : public ::testing::Test {
 protected:
  fs::path addons() const { return client / "Interface/AddOns"; }
  fs::path account(const std::string& rel = "") const { return client / "WTF/Account" / rel; }
  void folder(const fs::path& p) const { fs::create_directories(p); }
  int reconcile(const std::vector<std::string>& names = official) {
    return ClientFiles::reconcileAddons(pathsAt(client.path()), names);
  }
  TempDir client;
  TempDir outside;
};

TEST_F(Reconcile, DeletesOnlyUnofficialFoldersAndNeverFollowsLinks) {
  folder(addons() / "QUESTIE");  // official in another case
  folder(addons() / "pfUI/modules");
  folder(addons() / "Blizzard_AuctionUI");
  folder(addons() / "bLiZzArD_Custom");  // stock by prefix, in any case
  folder(addons() / "Bagnon/locale");
  folder(addons() / ".cache");  // hidden folders count like any other
  client.write("Interface/AddOns/README.txt", "loose files stay");
  // Links: to a folder outside the client, to a file, and one inside a deleted folder.
  outside.write("target/Precious.lua", "keep me");
  outside.write("deep/Also.lua", "keep me too");
  fs::create_directory_symlink(outside / "target", addons() / "LinkedAddon");
  fs::create_symlink(outside / "target/Precious.lua", addons() / "LinkedFile.lua");
  fs::create_directory_symlink(outside / "deep", addons() / "Bagnon/locale/linked");
  fs::create_directory_symlink(outside / "deep", addons() / ".cache/linked");

  EXPECT_EQ(reconcile(), 2);
  EXPECT_EQ(namesIn(addons()),
            (std::set<std::string>{"QUESTIE", "pfUI", "Blizzard_AuctionUI", "bLiZzArD_Custom",
                                   "README.txt", "LinkedAddon", "LinkedFile.lua"}));
  EXPECT_TRUE(fs::is_directory(addons() / "pfUI/modules"));
  EXPECT_TRUE(fs::is_symlink(addons() / "LinkedAddon"));
  EXPECT_EQ(slurp(outside / "target/Precious.lua"), "keep me");
  EXPECT_EQ(slurp(outside / "deep/Also.lua"), "keep me too");
  EXPECT_EQ(slurp(addons() / "README.txt"), "loose files stay");
}

// An account linked out of the client: hostile_paths_test (OneAccount).
TEST_F(Reconcile, AccountListsAreWrittenAtTheTopAndReplacedBelowOnlyWhereTheyExist) {
  folder(account("ALICE/Realm/Hero"));        // no list at all
  folder(account("CAROL/AddOns.txt/inner"));  // a folder where the list goes: passed over
  client.write("WTF/Account/CAROL/Realm/Char/AddOns.txt", "old\n");
  client.write("WTF/Account/ALICE/Realm/Mage/AddOns.txt", "Old: enabled\r\n");
  client.write("WTF/Account/ALICE/Realm/Rogue/addons.txt", "other case\n");
  client.write("WTF/Account/ALICE/.hidden/deep/AddOns.txt", "Old: disabled\n");
  client.write("WTF/Account/.bob/AddOns.txt", "Old: enabled\n");  // hidden account
  client.write("WTF/Account/SavedVariables/AddOns.txt", "untouched\n");
  client.write("WTF/Account/SavedVariables/Char/AddOns.txt", "untouched\n");
  client.write("WTF/Account/cache.md5", "a loose file");

  EXPECT_EQ(reconcile(), 0);
  for (const char* rel :
       {"ALICE/AddOns.txt", "ALICE/Realm/Mage/AddOns.txt", "ALICE/.hidden/deep/AddOns.txt",
        ".bob/AddOns.txt", "CAROL/Realm/Char/AddOns.txt"}) {
    EXPECT_EQ(slurp(account(rel)), officialList) << rel;
  }
  EXPECT_EQ(namesIn(account("ALICE/Realm/Hero")), std::set<std::string>{});
  EXPECT_EQ(namesIn(account("ALICE/Realm")), (std::set<std::string>{"Hero", "Mage", "Rogue"}));
  EXPECT_TRUE(fs::is_directory(account("CAROL/AddOns.txt/inner")));
  EXPECT_EQ(slurp(account("ALICE/Realm/Rogue/addons.txt")), "other case\n");
  EXPECT_EQ(namesIn(account("ALICE/Realm/Rogue")), std::set<std::string>{"addons.txt"});
  EXPECT_EQ(slurp(account("SavedVariables/AddOns.txt")), "untouched\n");
  EXPECT_EQ(slurp(account("SavedVariables/Char/AddOns.txt")), "untouched\n");
  EXPECT_EQ(slurp(account("cache.md5")), "a loose file");
}

TEST_F(Reconcile, AnEmptyOfficialListChangesNothing) {
  folder(addons() / "Bagnon");
  client.write("WTF/Account/ALICE/AddOns.txt", "Bagnon: enabled\n");
  folder(account("BOB"));
  EXPECT_EQ(reconcile({}), 0);
  EXPECT_TRUE(fs::is_directory(addons() / "Bagnon"));
  EXPECT_EQ(slurp(account("ALICE/AddOns.txt")), "Bagnon: enabled\n");
  EXPECT_FALSE(fs::exists(account("BOB/AddOns.txt")));
}

}  // namespace

}  // namespace qh
