#include <gtest/gtest.h>
#include <httplib.h>

#include <QProcess>

#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "tools/serve/static_server.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// qh-serve's server: queries ignored, names decoded, open-ended ranges, and
// nothing outside its folder, not even through a link, nor a listing.
TEST(StaticServer, ServesItsFolderOnlyIgnoringQueriesWithByteRanges) {
  TempDir dir;
  dir.write("root/Data/a.bin", "0123456789");
  dir.write("root/empty.txt", "");
  dir.write("root/sp ace#.txt", "x");
  dir.write("secret.txt", "secret");
  fs::create_symlink(dir / "secret.txt", dir / "root/leak.txt");
  StaticServer server(dir / "root");
  const int port = server.bind("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  server.start();
  httplib::Client client("127.0.0.1", port);
  struct Served {
    const char* path;
    const char* range;
    int status;
    const char* body;
    const char* contentRange;
  };
  for (const Served& c :
       {Served{"/Data/a.bin?v=01234567&r=2", "", 200, "0123456789", ""},
        Served{"/sp%20ace%23.txt", "", 200, "x", ""}, Served{"/empty.txt", "", 200, "", ""},
        Served{"/Data/a.bin", "bytes=4-", 206, "456789", "bytes 4-9/10"},
        Served{"/Data/a.bin", "bytes=10-", 416, "", "bytes */10"}, Served{"/", "", 404, "", ""},
        Served{"/Data/", "", 404, "", ""}, Served{"/../secret.txt", "", 404, "", ""},
        Served{"/Data/%2e%2e/%2e%2e/secret.txt", "", 404, "", ""},
        Served{"/%2E%2E%2Fsecret.txt", "", 404, "", ""}, Served{"/leak.txt", "", 404, "", ""},
        Served{"/Data/a.bin%00.txt", "", 404, "", ""}}) {
    auto r = *c.range ? client.Get(c.path, {{"Range", c.range}}) : client.Get(c.path);
    ASSERT_TRUE(r) << c.path;
    EXPECT_EQ(r->status, c.status) << c.path << " " << c.range;
    EXPECT_EQ(r->body.find("secret"), std::string::npos) << c.path;
    if (c.status == 404) continue;
    EXPECT_EQ(r->body, c.body) << c.path << " " << c.range;
    EXPECT_EQ(r->get_header_value("Content-Range"), c.contentRange) << c.path << " " << c.range;
  }
}

TEST(QhServe, PrintsItsUrlFirstAndServes) {
  TempDir dir;
  dir.write("www/version.txt", "7\n");
  QProcess serve;
  serve.start(QH_SERVE, {QString::fromStdString((dir / "www").string())});
  ASSERT_TRUE(serve.waitForReadyRead(20000));
  const std::string url = serve.readLine().trimmed().toStdString();
  ASSERT_TRUE(url.starts_with("http://127.0.0.1:")) << url;
  httplib::Client client(url);
  auto r = client.Get("/version.txt?t=1");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "7\n");
  serve.kill();
  serve.waitForFinished();
}

class PublishTest : public ::testing::Test {
 protected:
  ToolResult publish(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {(dir / "client").string(), (dir / "out").string(), "--version",
                                     "3.3.5-q7"};
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(QH_PUBLISH, args);
  }
  TempDir dir;
};

TEST_F(PublishTest, ManifestBytesAndVersionFiles) {
  dir.write("client/Wow.exe", "MZ");
  dir.write("client/Data/a b.MPQ", "");
  dir.write("client/Interface/AddOns/Q\xC3\xA9st/x\ty.lua", "abc");
  dir.write("client/.qhversion", "old");  // an installed client's own marker
  const auto r = publish({});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Sorted by path bytes, one "SHA-1 TAB size TAB path" line each.
  EXPECT_EQ(slurp(dir / "out/manifest.txt"),
            "da39a3ee5e6b4b0d3255bfef95601890afd80709\t0\tData/a b.MPQ\n"
            "a9993e364706816aba3e25717850c26c9cd0d89d\t3\tInterface/AddOns/Q\xC3\xA9st/x\ty.lua\n"
            "439baa1b33514fb81632aaf44d16a9378c5664fc\t2\tWow.exe\n");
  EXPECT_EQ(slurp(dir / "out/version.txt"), "3.3.5-q7\n");
  EXPECT_EQ(slurp(dir / "out/game_version.txt"), "3.3.5-q7\n");
  EXPECT_EQ(slurp(dir / "out/Interface/AddOns/Q\xC3\xA9st/x\ty.lua"), "abc");
  EXPECT_FALSE(fs::exists(dir / "out/.qhversion"));
}

struct Refusal {
  const char* name;
  std::string file;
  const char* why;
  std::string named = {};  // the name the message must carry, when not `file`
};

class PublishRefuses : public PublishTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PublishRefuses, NamesTheFile) {
  dir.write("client/ok.txt", "fine");
  dir.write("client/" + GetParam().file, "x");
  const auto r = publish({});
  EXPECT_EQ(r.exitCode, 1);
  const std::string named = GetParam().named.empty() ? GetParam().file : GetParam().named;
  EXPECT_NE(r.err.find("\"" + named + "\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(GetParam().why), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out/manifest.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PublishRefuses,
    ::testing::Values(Refusal{"LineFeed", "Data/a\nb", "line break"},
                      Refusal{"LineSeparator",
                              "a\xE2\x80\xA8"
                              "b",
                              "line break"},
                      Refusal{"Backslash", "Data/a\\b", "backslash"},
                      Refusal{"TrailingTab", "Data/a\t", "white space"},
                      Refusal{"FolderWithTrailingSpace", "Data /x", "white space", "Data "},
                      Refusal{"NotUtf8", "bad\xff", "UTF-8"},
                      Refusal{"ServerFileName", "version.txt", "server's own"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PublishTest, RefusesLinksLeavingTheClientFollowsLinksInside) {
  dir.write("client/Data/real.bin", "real");
  fs::create_symlink("real.bin", dir / "client/Data/alias.bin");
  ASSERT_EQ(publish({}).exitCode, 0);
  EXPECT_EQ(slurp(dir / "out/Data/alias.bin"), "real");
  dir.write("elsewhere/private", "p");
  fs::create_symlink(dir / "elsewhere", dir / "client/Escape");
  const auto r = publish({});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\"Escape\" is a symbolic link that leads outside"), std::string::npos)
      << r.err;
}

}  // namespace

}  // namespace qh
