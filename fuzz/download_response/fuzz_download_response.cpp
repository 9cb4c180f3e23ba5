// The downloader against any answer a server may give. An in-process fake
// transport answers every connection with the input's bytes (also when curl
// comes back after a redirect), so nothing leaves the process. Input: one
// byte choosing how much of the file a ".part" holds already, one byte of
// flags (expected size known, SHA-1 known), then the raw answer.
// Checks: success means exactly the right bytes at the destination and no
// ".part"; a refused status leaves the ".part" as it was; a failure never
// leaves a file with a wrong checksum under the destination's name.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz_support.h"
#include "net/downloader.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "support/fake_transport.h"

namespace qh {

namespace fs = std::filesystem;

using fuzz::put;
using fuzz::require;
using fuzz::slurp;

namespace {

std::string content() {
  std::string s;
  for (int i = 0; i < 10; ++i) s += "Quellhaven" + std::to_string(i) + "-payload|";
  return s;
}

// Made once: the transport and the reference file outlive every input.
struct World {
  std::shared_ptr<FakeTransport> net = std::make_shared<FakeTransport>();
  fs::path dir = fuzz::scratchDir();
  std::string body = content();
  std::string sha1;
  World() {
    put(dir / "reference", body);
    sha1 = Hash::sha1(dir / "reference");
  }
};

}  // namespace

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static World& w = *new World;
  const size_t already = data[0] % (w.body.size() + 2);
  const bool knownSize = data[1] & 1, knownSha = data[1] & 2;
  w.net->answer(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));

  const fs::path to = w.dir / "Data" / "file.MPQ";
  const fs::path part = Downloader::partFile(to);
  std::error_code ec;
  fs::remove(to, ec);
  fs::remove(part, ec);
  fs::create_directories(to.parent_path());
  // One byte more than the file is a stale, over-long leftover.
  std::string leftover = w.body.substr(0, std::min(already, w.body.size()));
  if (already > w.body.size()) leftover += '!';
  if (already > 0) put(part, leftover);
  const int64_t expected = knownSize ? static_cast<int64_t>(w.body.size()) : -1;
  const bool leftoverKept = !knownSize || static_cast<int64_t>(leftover.size()) < expected;

  Timing timing;
  timing.requestIdleTimeout = 1;
  timing.transferTimeout = 5;
  enum class Outcome { ok, http, wrongSize, wrongSum, other } outcome = Outcome::other;
  try {
    Downloader::fetchBlocking({.url = "http://dist.quellhaven.test/Data/file.MPQ?v=1",
                               .target = to,
                               .expectedSize = expected,
                               .sha1 = knownSha ? w.sha1 : "",
                               .timing = timing,
                               .transport = w.net});
    outcome = Outcome::ok;
  } catch (const NetError& e) {
    if (e.kind() == NetError::Kind::http) outcome = Outcome::http;
    if (e.kind() == NetError::Kind::integrity) {
      outcome = std::string(e.what()).starts_with("Size mismatch") ? Outcome::wrongSize
                                                                   : Outcome::wrongSum;
    }
  } catch (const std::exception&) {
  }

  const bool atDestination = fs::exists(to, ec);
  switch (outcome) {
    case Outcome::ok:
      require(atDestination && !fs::exists(part, ec));
      if (knownSha) require(slurp(to) == w.body);
      if (knownSize) require(fs::file_size(to) == w.body.size());
      break;
    case Outcome::http:
      require(!atDestination);
      if (already > 0 && leftoverKept) require(slurp(part) == leftover);
      break;
    case Outcome::wrongSize:
      require(atDestination && knownSize && fs::file_size(to) != w.body.size());
      break;
    case Outcome::wrongSum:
      require(!atDestination && !fs::exists(part, ec));
      break;
    case Outcome::other:
      require(!atDestination);
      break;
  }
  return 0;
}
