// Helpers of the compatibility-layer tests: stub programs, hand-made tar
// archives and an in-memory network for Runtime.
#pragma once

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "compat/program.h"
#include "compat/runtime.h"
#include "core/log.h"
#include "net/net_error.h"
#include "support/fake_clock.h"
#include "support/fake_network.h"
#include "support/fake_wine_host.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh::compat_test {

namespace fs = std::filesystem;

// Writes an executable "/bin/sh" script at `file`.
inline fs::path writeScript(const fs::path& file, const std::string& body) {
  return writeExecutable(file, "#!/bin/sh\n" + body);
}

// One member of a hand-made ustar archive.
struct TarEntry {
  std::string name;
  char type = '0';  // '0' file, '2' symlink, '1' hard link, '5' folder
  std::string content = {};
  std::string link = {};
  int mode = 0644;
};

inline void putOctal(std::string& block, size_t at, size_t width, uint64_t value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llo", static_cast<int>(width - 1),
                static_cast<unsigned long long>(value));
  block.replace(at, width - 1, buf);
}

// The bytes of an uncompressed tar archive holding `entries` as written.
inline std::string tarBytes(const std::vector<TarEntry>& entries) {
  std::string out;
  for (const auto& e : entries) {
    std::string h(512, '\0');
    h.replace(0, std::min<size_t>(e.name.size(), 100), e.name.substr(0, 100));
    putOctal(h, 100, 8, static_cast<uint64_t>(e.mode));
    putOctal(h, 108, 8, 0);
    putOctal(h, 116, 8, 0);
    putOctal(h, 124, 12, e.type == '0' ? e.content.size() : 0);
    putOctal(h, 136, 12, 1700000000);
    h[156] = e.type;
    h.replace(157, std::min<size_t>(e.link.size(), 100), e.link.substr(0, 100));
    h.replace(257, 6, std::string("ustar\0", 6));
    h.replace(263, 2, "00");
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    char chk[8];
    std::snprintf(chk, sizeof chk, "%06o", sum);
    h.replace(148, 7, std::string(chk, 6) + '\0');
    out += h;
    if (e.type == '0') {
      out += e.content;
      out.append((512 - e.content.size() % 512) % 512, '\0');
    }
  }
  out.append(1024, '\0');
  return out;
}

// Status reports in order.
struct StatusLog {
  struct Report {
    std::string text;
    std::optional<double> progress;
    bool operator==(const Report&) const = default;
  };
  std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();
  std::shared_ptr<std::vector<Report>> reports = std::make_shared<std::vector<Report>>();
  StatusCallback callback() const {
    return [m = mutex, r = reports](const std::string& text, std::optional<double> progress) {
      std::lock_guard lock(*m);
      r->push_back({text, progress});
    };
  }
  std::vector<Report> all() const {
    std::lock_guard lock(*mutex);
    return *reports;
  }
};

// A runtime over a fresh state folder, a fake clock and the in-memory network.
class RuntimeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::setFile(dir / "launcher.log");
    fs::create_directories(state);
  }
  void TearDown() override { Log::setFile(std::nullopt); }

  // The runtime the server describes with `text` (none: it does not answer).
  Runtime resolved(std::optional<std::string> text,
                   const std::string& base = "https://dist.example") {
    if (text) {
      net->texts["/runtime.txt"] = *text;
    } else {
      net->texts.erase("/runtime.txt");
    }
    Timing timing;
    timing.clock = clock;
    Runtime runtime(Paths{base, state, dir / "client", keys}, timing, *net, wines);
    runTask(runtime.resolveSpec());
    return runtime;
  }

  TempDir dir;
  fs::path state = dir / "state";
  // None: descriptions are taken unsigned.
  ReleaseKeys keys;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakeNetwork> net = std::make_shared<FakeNetwork>();
  // A system without Wine unless a test installs one.
  FakeWineHost wines;
  StatusLog status;
};

}  // namespace qh::compat_test
