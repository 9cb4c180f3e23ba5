#include "net/net.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "net/net_error.h"

namespace {

using ::testing::MatchesRegex;

TEST(NetBust, AppendsTheWallClockMillisecondsWithTheRightSeparator) {
  EXPECT_THAT(Net::bust("https://h/f?v=1"), MatchesRegex("https://h/f\\?v=1&t=[0-9]{13}"));
  EXPECT_THAT(Net::bust("https://h/f?"), MatchesRegex("https://h/f\\?&t=[0-9]{13}"));
  using namespace std::chrono;
  const auto before = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const std::string url = Net::bust("https://h/version.txt");
  const auto after = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  ASSERT_THAT(url, MatchesRegex("https://h/version\\.txt\\?t=[0-9]{13}"));
  const long long t = std::stoll(url.substr(url.find("t=") + 2));
  EXPECT_GE(t, before);
  EXPECT_LE(t, after);
}

class BadUrl : public ::testing::TestWithParam<std::string> {};

TEST_P(BadUrl, IsRejectedWithoutARequest) {
  try {
    Net::getStringBlocking(GetParam());
    FAIL() << "no error";
  } catch (const NetError& e) {
    EXPECT_EQ(e.kind(), NetError::Kind::shortMessage);
    EXPECT_EQ(std::string(e.what()), "bad URL " + GetParam());
  }
}

INSTANTIATE_TEST_SUITE_P(NotUrls, BadUrl,
                         ::testing::Values("not a url", "", "http://", "http://h/a b",
                                           "http://[::1/x"));

}  // namespace
