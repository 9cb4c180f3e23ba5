// The downloader against raw server answers through the in-process fake
// transport: what each answer leaves at the destination and in the ".part",
// and what the request asked for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/downloader.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "support/fake_clock.h"
#include "support/fake_transport.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

const std::string body = "0123456789abcdefghijklmnopqrstuvwxyz";  // 36 bytes
const std::string url = "http://dist.quellhaven.test/Data/f.MPQ?v=1";

std::string answer(const std::string& status, const std::string& headers,
                   const std::string& payload) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + payload;
}

std::string sized(const std::string& status, const std::string& headers,
                  const std::string& payload) {
  return answer(status, headers + "Content-Length: " + std::to_string(payload.size()) + "\r\n",
                payload);
}

struct AnswerCase {
  const char* name;
  size_t leftover;     // bytes of the file already in the ".part"
  std::string answer;  // the raw bytes the server sends
  // What the call throws ("" for success), as a prefix of what().
  std::string error;
  // The ".part" afterwards ("<none>" when it must be gone).
  std::string part;
  bool atDestination;
  // "Range: bytes=<leftover>-" was asked for.
  bool ranged;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
  *os << c.name;
}

class DownloadAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(DownloadAnswers, LeaveTheFilesAsTheyMust) {
  const AnswerCase& c = GetParam();
  TempDir dir;
  const fs::path src = dir.write("reference", body);
  const fs::path to = dir / "client/Data/f.MPQ";
  const fs::path part = Downloader::partFile(to);
  if (c.leftover > 0) dir.write("client/Data/f.MPQ.part", body.substr(0, c.leftover));
  FakeTransport net;
  net.answer(c.answer);
  Timing timing;
  timing.clock = std::make_shared<FakeClock>();

  std::string error;
  try {
    Downloader::fetchBlocking(
        url, to, static_cast<int64_t>(body.size()), Hash::sha1(src), std::nullopt, [](int64_t) {},
        timing);
  } catch (const std::exception& e) {
    error = e.what();
  }

  if (c.error.empty()) {
    EXPECT_EQ(error, "");
  } else {
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  EXPECT_EQ(fs::exists(to), c.atDestination);
  if (c.atDestination) {
    EXPECT_EQ(slurp(to), body);
  }
  if (c.part == "<none>") {
    EXPECT_FALSE(fs::exists(part));
  } else {
    EXPECT_EQ(slurp(part), c.part);
  }
  const std::vector<std::string> sent = net.requests();
  ASSERT_FALSE(sent.empty());
  EXPECT_THAT(sent.front(), HasSubstr("GET /Data/f.MPQ?v=1 HTTP/1.1\r\n"));
  EXPECT_THAT(sent.front(), HasSubstr("Host: dist.quellhaven.test\r\n"));
  const std::string range = "Range: bytes=" + std::to_string(c.leftover) + "-\r\n";
  EXPECT_EQ(sent.front().find(range) != std::string::npos, c.ranged) << sent.front();
}

const std::string tail = body.substr(10);

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloadAnswers,
    ::testing::Values(
        AnswerCase{"Fresh200", 0, sized("200 OK", "", body), "", "<none>", true, false},
        AnswerCase{"Resume206", 10,
                   sized("206 Partial Content", "Content-Range: bytes 10-35/36\r\n", tail), "",
                   "<none>", true, true},
        AnswerCase{"RangeIgnored200Restarts", 10, sized("200 OK", "", body), "", "<none>", true,
                   true},
        // A 206 that continues elsewhere would splice the file: nothing is kept.
        AnswerCase{"RangeElsewhere", 10,
                   sized("206 Partial Content", "Content-Range: bytes 0-35/36\r\n", body),
                   "Unexpected Content-Range \"bytes 0-35/36\" for f.MPQ (asked from byte 10)",
                   "<none>", false, true},
        AnswerCase{"RangeMissing", 10, sized("206 Partial Content", "", tail),
                   "Unexpected Content-Range \"\"", "<none>", false, true},
        AnswerCase{"RangeUnasked", 0,
                   sized("206 Partial Content", "Content-Range: bytes 10-35/36\r\n", tail),
                   "Unexpected Content-Range", "<none>", false, false},
        AnswerCase{"NotSatisfiable", 10, sized("416 Range Not Satisfiable", "", ""),
                   "HTTP 416 for " + url, body.substr(0, 10), false, true},
        AnswerCase{"NotFound", 10, sized("404 Not Found", "", "gone"), "HTTP 404 for " + url,
                   body.substr(0, 10), false, true},
        AnswerCase{"NotHttp", 10, "SSH-2.0-OpenSSH_9.2\r\n", "Unsupported protocol",
                   body.substr(0, 10), false, true},
        // The body ends early: what arrived stays for the next resume.
        AnswerCase{
            "ShortBody", 10,
            answer("206 Partial Content", "Content-Range: bytes 10-35/36\r\nContent-Length: 26\r\n",
                   tail.substr(0, 5)),
            "Transferred a partial file", body.substr(0, 15), false, true},
        // Redirects to any host come back through the same transport.
        AnswerCase{"RedirectLoop", 0,
                   sized("302 Found", "Location: http://elsewhere.test/Data/f.MPQ\r\n", ""),
                   "Number of redirects hit maximum amount", "<none>", false, false},
        // A complete leftover is not trusted: asked again from byte 0.
        AnswerCase{"CompleteLeftover", body.size(), sized("200 OK", "", body), "", "<none>", true,
                   false},
        AnswerCase{"WrongBytes", 0, sized("200 OK", "", std::string(body.size(), 'x')),
                   "Integrity check failed for f.MPQ (stale CDN copy?) - retrying", "<none>", false,
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
