// HTTPS against certificates made at test time: trusted through QH_CA_FILE,
// refused with curl's own message otherwise. Verification is never off.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "net/downloader.h"
#include "net/net.h"
#include "net/net_error.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

namespace qh {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string transportError(const std::string& url) {
  try {
    Net::getStringBlocking(url);
  } catch (const TransportError& e) {
    return e.what();
  }
  return "<no TransportError>";
}

TEST(Tls, OnlyATrustedCertificateForTheHostIsAccepted) {
  TempDir dir;
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  const auto served = TestCertificates::make(dir / "a", {"IP:127.0.0.1", "DNS:localhost"});
  const auto other = TestCertificates::make(dir / "b", {"DNS:dist.example.invalid"});
  TestServer server(served.serverTls());
  server.setFile("/version.txt", "42\n");
  server.setFile("/f.bin", std::string(100000, 'q'));
  setenv("QH_CA_FILE", served.caFile.c_str(), 1);
  EXPECT_EQ(Net::getStringBlocking(server.url("/version.txt")), "42\n");
  Downloader::fetchBlocking(
      {.url = server.url("/f.bin"), .target = dir / "out/f.bin", .expectedSize = 100000});
  EXPECT_EQ(slurp(dir / "out/f.bin"), std::string(100000, 'q'));

  setenv("QH_CA_FILE", other.caFile.c_str(), 1);
  EXPECT_THAT(transportError(server.url("/version.txt")), HasSubstr("SSL certificate problem"));
  unsetenv("QH_CA_FILE");  // the system's authorities do not know it either
  EXPECT_THAT(transportError(server.url("/version.txt")), HasSubstr("SSL certificate problem"));
  EXPECT_THROW(Downloader::fetchBlocking(
                   {.url = server.url("/f.bin"), .target = dir / "out/g.bin", .expectedSize = 1}),
               TransportError);
  EXPECT_FALSE(fs::exists(dir / "out/g.bin"));

  // Trusted, but made out for another host.
  TestServer elsewhere(other.serverTls());
  elsewhere.setFile("/t", "x");
  setenv("QH_CA_FILE", other.caFile.c_str(), 1);
  EXPECT_THAT(transportError(elsewhere.url("/t")),
              HasSubstr("no alternative certificate subject name matches target host name"));
  unsetenv("QH_CA_FILE");
}

}  // namespace

}  // namespace qh
