#include <gtest/gtest.h>

#include "net/net.h"
#include "net/net_error.h"
#include "support/test_server.h"

namespace qh {

namespace {

TEST(GetString, ReturnsTheBodyAsTextAndEveryOtherStatusIsAnHttpError) {
  TestServer server;
  server.setFile("/version.txt", "  1.2.3\r\n");
  const std::string url = Net::bust(server.url("/version.txt"));
  EXPECT_EQ(Net::getStringBlocking(url), "  1.2.3\r\n");
  const auto seen = server.requests("/version.txt");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].header("User-Agent"), "QuellhavenMacLauncher/3");
  EXPECT_EQ(seen[0].target, url.substr(url.find("/version.txt")));
  EXPECT_EQ(seen[0].header("Range"), "");
  // Ill-formed UTF-8 becomes replacement characters.
  server.setFile("/t", std::string("a\xff") + "b\xc3");
  EXPECT_EQ(Net::getStringBlocking(server.url("/t")),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  for (const int status : {404, 500, 204, 206, 304}) {
    server.fault("/t", {.status = status}, 1);
    const std::string bust = Net::bust(server.url("/t"));
    try {
      Net::getStringBlocking(bust);
      ADD_FAILURE() << "no error for " << status;
    } catch (const NetError& e) {
      EXPECT_EQ(e.kind(), NetError::Kind::http);
      EXPECT_EQ(e.status(), status);
      EXPECT_EQ(std::string(e.what()), "HTTP " + std::to_string(status) + " for " + bust);
    }
  }
}

}  // namespace

}  // namespace qh
