#include <gtest/gtest.h>

#include "client/cache.h"
#include "support/client_folder.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

TEST(ClearCache, WdbFilesAtAnyDepthInAnyCaseThenTheWholeFolder) {
  TempDir dir;
  dir.write("Cache/WDB/enUS/creaturecache.wdb", "x");
  dir.write("Cache/WDB/enUS/itemcache.WDB", "x");
  dir.write("Cache/WDB/enUS/notes.txt", "keep");
  dir.write("Cache/WDB/.hidden/deep/a.Wdb", "x");
  dir.write("Cache/WDB/odd.wdb/inside.txt", "x");
  dir.write("Cache/other.wdb", "keep");
  EXPECT_EQ(ClientFiles::clearWdbCache(pathsAt(dir.path())), 4);
  EXPECT_TRUE(fs::exists(dir / "Cache/WDB/enUS/notes.txt"));
  EXPECT_TRUE(fs::exists(dir / "Cache/other.wdb"));
  EXPECT_FALSE(fs::exists(dir / "Cache/WDB/enUS/itemcache.WDB"));
  EXPECT_FALSE(fs::exists(dir / "Cache/WDB/odd.wdb"));
  EXPECT_EQ(ClientFiles::clearWdbCache(pathsAt(dir.path())), 0);
  EXPECT_EQ(ClientFiles::clearWdbCache(pathsAt(dir / "missing")), 0);
  // Clearing the whole cache takes the folder and nothing beside it.
  dir.write("WTF/Config.wtf", "keep");
  ClientFiles::clearCache(pathsAt(dir.path()));
  EXPECT_FALSE(fs::exists(dir / "Cache"));
  EXPECT_TRUE(fs::exists(dir / "WTF/Config.wtf"));
  ClientFiles::clearCache(pathsAt(dir.path()));
}

}  // namespace

}  // namespace qh
