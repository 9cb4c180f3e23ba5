#include "net/net.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/net_error.h"

namespace qh {

namespace {

TEST(NetBust, AppendsTheMillisecondsWithTheRightSeparator) {
  EXPECT_THAT(Net::bust("https://h/f?v=1"),
              ::testing::MatchesRegex("https://h/f\\?v=1&t=[0-9]{13}"));
  EXPECT_THAT(Net::bust("https://h/f"), ::testing::MatchesRegex("https://h/f\\?t=[0-9]{13}"));
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

}  // namespace qh
