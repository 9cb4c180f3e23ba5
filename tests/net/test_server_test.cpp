// The test server is itself a contract other tests rely on: ranges, faults and
// the request record.
#include "support/test_server.h"

#include <gtest/gtest.h>

#include "net/net.h"
#include "net/net_error.h"
#include "support/temp_dir.h"

namespace {

struct RangeCase {
  std::string name;
  std::string range;
  int status;
  std::string body;
  std::string contentRange;
};

class TestServerRange : public ::testing::TestWithParam<RangeCase> {};

// Read off a plain socket, so the server is checked without the client under test.
TEST_P(TestServerRange, AnswersAsAStaticFileHostWould) {
  TestServer server;
  server.setFile("/f", "0123456789");
  const auto& c = GetParam();
  const auto got = TestServer::rawGet(server.port(), "/f", {{"Range", c.range}});
  EXPECT_EQ(got.status, c.status);
  EXPECT_EQ(got.body, c.body);
  EXPECT_EQ(got.header("Content-Range"), c.contentRange);
}

INSTANTIATE_TEST_SUITE_P(Ranges, TestServerRange,
                         ::testing::Values(RangeCase{"none", "", 200, "0123456789", ""},
                                           RangeCase{"openEnded", "bytes=4-", 206, "456789",
                                                     "bytes 4-9/10"},
                                           RangeCase{"atEnd", "bytes=10-", 416, "", "bytes */10"},
                                           RangeCase{"unparseable", "lines=1-", 416, "", ""}),
                         [](const auto& info) { return info.param.name; });

TEST(TestServer, RangeSupportCanBeTurnedOff) {
  TestServer server;
  server.setFile("/f", "0123456789");
  server.setRangeSupport(false);
  const auto got = TestServer::rawGet(server.port(), "/f", {{"Range", "bytes=4-"}});
  EXPECT_EQ(got.status, 200);
  EXPECT_EQ(got.body, "0123456789");
}

TEST(TestServer, FaultsApplyToTheirCountOfRequestsInOrder) {
  TestServer server;
  server.setFile("/f", "abc");
  server.fault("/f", {.status = 500}, 1);
  server.fault("/f", {.status = 404}, 2);
  std::vector<int> statuses;
  for (int i = 0; i < 4; ++i) statuses.push_back(TestServer::rawGet(server.port(), "/f").status);
  EXPECT_EQ(statuses, (std::vector<int>{500, 404, 404, 200}));
  EXPECT_EQ(TestServer::rawGet(server.port(), "/missing").status, 404);
}

TEST(TestServer, ServesAFolderAndRecordsEveryRequest) {
  TempDir dir;
  dir.write("sub/a b.txt", "folder bytes");
  TestServer server;
  server.serveFolder(dir.path());
  const auto got = TestServer::rawGet(server.port(), "/sub/a%20b.txt?v=1&r=2", {{"X-Test", "yes"}});
  EXPECT_EQ(got.body, "folder bytes");
  EXPECT_EQ(TestServer::rawGet(server.port(), "/../etc/passwd").status, 404);
  const auto seen = server.requests("/sub/a b.txt");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/sub/a%20b.txt?v=1&r=2");
  EXPECT_EQ(seen[0].query, "v=1&r=2");
  EXPECT_EQ(seen[0].header("x-test"), "yes");
  EXPECT_TRUE(seen[0].hasHeader("X-TEST"));
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(TestServer, WrongLengthsAndDrops) {
  TestServer server;
  server.setFile("/f", "0123456789");
  server.fault("/f", {.contentLength = 4}, 1);
  auto got = TestServer::rawGet(server.port(), "/f");
  EXPECT_EQ(got.header("Content-Length"), "4");
  EXPECT_EQ(got.body, "0123456789");
  server.fault("/f", {.dropAfter = 3}, 1);
  got = TestServer::rawGet(server.port(), "/f");
  EXPECT_EQ(got.header("Content-Length"), "10");
  EXPECT_EQ(got.body, "012");
  server.fault("/f", {.contentLength = 20}, 1);
  got = TestServer::rawGet(server.port(), "/f");
  EXPECT_EQ(got.header("Content-Length"), "20");
  EXPECT_EQ(got.body, "0123456789");
}

}  // namespace
