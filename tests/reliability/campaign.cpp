#include "campaign.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "core/text.h"
#include "net/hash.h"
#include "platform/process.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "tools/sample/sample_client.h"

extern char** environ;

namespace qh {

namespace fs = std::filesystem;

namespace Campaign {
namespace {

// Every entry below `dir` (links not followed) with its kind, size, time and
// content digest, so any change shows as a different text.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::none, ec), end;
       !ec && it != end; it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    std::string desc = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                       std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode)) desc += " " + Hash::sha1(it->path());
    if (S_ISLNK(st.st_mode)) desc += " -> " + fs::read_symlink(it->path(), ec).string();
    out[it->path().lexically_relative(dir).string()] = desc;
  }
  return out;
}

// Compares the install with the published tree; returns the number of files
// whose bytes differ.
int verifyInstall(const Published& pub, const fs::path& client,
                  const std::set<std::string>& missing, const std::string& when, bool markers,
                  std::vector<std::string>& problems) {
  int corrupt = 0;
  std::set<std::string> expected = {".qhversion", ".qhmanifest"};
  for (const ManifestEntry& e : pub.entries) {
    const fs::path file = client / e.rel;
    std::error_code ec;
    if (missing.count(e.rel)) {
      if (fs::exists(fs::symlink_status(file, ec))) {
        problems.push_back(when + ": " + e.rel + " exists though the server never had it");
      }
      continue;
    }
    expected.insert(e.rel);
    if (!fs::is_regular_file(fs::symlink_status(file, ec))) {
      problems.push_back(when + ": " + e.rel + " is missing");
    } else if (slurp(file) != slurp(pub.dir / e.rel)) {
      ++corrupt;
      problems.push_back(when + ": " + e.rel + " differs from the published file");
    }
  }
  std::error_code ec;
  for (fs::recursive_directory_iterator it(client, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) continue;
    const std::string rel = it->path().lexically_relative(client).string();
    if (!expected.count(rel)) problems.push_back(when + ": unexpected file " + rel);
  }
  if (!markers) return corrupt;
  if (Text::trimWhitespace(slurp(client / ".qhversion")) != pub.version) {
    problems.push_back(when + ": .qhversion is not the published version");
  }
  if (slurp(client / ".qhmanifest") != pub.manifest) {
    problems.push_back(when + ": .qhmanifest is not the published manifest");
  }
  return corrupt;
}

// Starts the driver with HOME and the XDG folders below `home` and SIGKILLs
// it on request from any thread.
class DriverProcess {
 public:
  DriverProcess(fs::path driver, fs::path home)
      : driver_(std::move(driver)), home_(std::move(home)) {}

  // Runs the driver with `args` to its end, output to `output`; returns its
  // exit status. Throws std::runtime_error when it cannot start.
  int run(const std::vector<std::string>& args, const fs::path& output) {
    Process::Environment env;
    for (char** e = environ; *e; ++e) {
      const std::string_view v = *e;
      const size_t eq = v.find('=');
      if (eq != std::string_view::npos) env.emplace(v.substr(0, eq), v.substr(eq + 1));
    }
    std::erase_if(env, [](const auto& var) { return var.first.starts_with("XDG_"); });
    env["HOME"] = home_.string();
    env["XDG_CONFIG_HOME"] = (home_ / ".config").string();
    env["XDG_DATA_HOME"] = (home_ / ".local/share").string();
    env["XDG_CACHE_HOME"] = (home_ / ".cache").string();
    const UniqueFd out(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    Process::Request request{driver_, args, std::move(env)};
    request.output = request.error = Process::Stream::to(out.get());
    Process::Started child;
    {
      // Held across the start, so a kill() meanwhile waits for the pid.
      std::lock_guard lock(mutex_);
      child = Process::spawn(request);
      pid_ = child.pid;
    }
    if (child.error) throw std::runtime_error("cannot start " + driver_.string());
    const int status = Process::wait(child.pid);
    std::lock_guard lock(mutex_);
    pid_ = -1;
    return status;
  }

  void kill() {
    std::lock_guard lock(mutex_);
    if (pid_ > 0) ::kill(pid_, SIGKILL);
  }

 private:
  fs::path driver_, home_;
  std::mutex mutex_;
  pid_t pid_ = -1;
};

// The seeded misbehaviour of one seed's server; `kill` and `stall` are the
// hooks it hands out.
class Saboteur {
 public:
  Saboteur(const Published& pub, uint64_t seed) : rng_(seed) {
    std::uniform_int_distribution<size_t> pick(0, pub.entries.size() - 1);
    const int absent = static_cast<int>(rng_() % 3);
    for (int i = 0; i < absent; ++i) {
      // The large file is in place before the first run, so it cannot be absent.
      const std::string& rel = pub.entries[pick(rng_)].rel;
      if (rel != pub.largeRel) missing_.insert(rel);
    }
    for (const std::string& rel : missing_) missingPaths_.insert("/" + rel);
    const int kills = 1 + static_cast<int>(rng_() % 4);
    std::uniform_int_distribution<int64_t> when(1, static_cast<int64_t>(pub.entries.size()) + 2);
    for (int i = 0; i < kills; ++i) killAt_.insert(when(rng_));
    budget_ = 6 + static_cast<int>(rng_() % 25);
    stalls_ = rng_() % 2 == 0 ? 1 : 0;
  }

  const std::set<std::string>& missing() const { return missing_; }
  int faults() const {
    std::lock_guard lock(mutex_);
    return faults_ + static_cast<int>(missing_.size());
  }

  TestServer::Fault plan(const TestServer::Request& r, size_t size) {
    using Fault = TestServer::Fault;
    std::lock_guard lock(mutex_);
    const int64_t index = ++requests_;
    if (missingPaths_.count(r.path)) return {.status = 404};
    const std::string range = r.header("Range");
    const size_t start = range.starts_with("bytes=") ? std::stoull(range.substr(6)) : 0;
    if (start > size) return {};
    const size_t length = size - start;
    const auto anyByte = [&](size_t n) { return n == 0 ? size_t{0} : rng_() % n; };
    if (killAt_.count(index)) {
      const uint64_t when = rng_() % 3;
      if (when == 0) return {.hook = kill};
      return {.hook = kill, .hookAfter = when == 1 ? anyByte(length + 1) : length};
    }
    // Chance of a fault per file request, and per request asking for a range.
    const double rate = range.empty() ? 1.0 / 100 : 0.3;
    if (budget_ <= 0 || std::uniform_real_distribution<double>(0, 1)(rng_) >= rate) return {};
    // Weighted choice among the faults that mean something for this request.
    std::vector<std::pair<int, Fault>> menu = {{10, {.status = 500}}, {5, {.status = 503}}};
    if (length > 0) menu.push_back({28, {.dropAfter = anyByte(length)}});
    if (stalls_ > 0) {
      menu.push_back({3, rng_() % 2 ? Fault{.hook = stall} : Fault{.stallAfter = anyByte(length)}});
    }
    if (!r.path.ends_with(".txt")) {
      if (!range.empty()) {
        menu.push_back({15, {.ignoreRange = true}});
        menu.push_back({8, {.rangeEarly = 1}});
      }
      menu.push_back({8, {.resize = size + 1 + anyByte(4096)}});
      if (length > 0) {
        menu.push_back({8, {.resize = size - 1 - anyByte(length)}});
        menu.push_back({12, {.flipAt = start + anyByte(length)}});
      }
    }
    int total = 0;
    for (const auto& [weight, fault] : menu) total += weight;
    int roll = static_cast<int>(rng_() % static_cast<uint64_t>(total));
    for (const auto& [weight, fault] : menu) {
      if ((roll -= weight) >= 0) continue;
      if (fault.hook || fault.stallAfter) --stalls_;
      --budget_;
      ++faults_;
      return fault;
    }
    return {};
  }

  std::function<void()> kill, stall;

 private:
  mutable std::mutex mutex_;
  std::mt19937_64 rng_;
  std::set<std::string> missing_, missingPaths_;
  std::set<int64_t> killAt_;
  int64_t requests_ = 0;
  int budget_ = 0;
  int stalls_ = 0;
  int faults_ = 0;
};

}  // namespace

Published publishSample(const fs::path& work, int files, int64_t bytes,
                        const fs::path& publishTool) {
  const fs::path source = work / "source";
  SampleClient::generate(source, bytes, files, 7);
  // A few that span several receive buffers, an empty one, odd names.
  SampleClient::writeFile(source / "Data/enUS/speech.MPQ", 3 * 1024 * 1024 + 17, 101);
  SampleClient::writeFile(source / "Data/terrain.MPQ", 1024 * 1024, 102);
  SampleClient::writeFile(source / "Interface/AddOns/Empty/empty.lua", 0, 103);
  const std::string large = "Data/patch-4.MPQ";
  SampleClient::writeFile(source / large, 17 * 1024 * 1024 + 4321, 105);
  SampleClient::writeFile(source /
                              "Interface/AddOns/\xC3\x9C"
                              "ber 100%/a b+c.lua",
                          777, 104);
  const fs::path out = work / "published";
  const ToolResult published =
      runTool(publishTool.string(), {source.string(), out.string(), "--version", "1.0.7"});
  if (published.exitCode != 0) throw std::runtime_error("qh-publish failed: " + published.err);
  Published pub;
  pub.dir = out;
  pub.version = Text::trimWhitespace(slurp(out / "version.txt"));
  pub.manifest = slurp(out / "manifest.txt");
  pub.entries = Manifest::parse(pub.manifest);
  if (pub.entries.size() < static_cast<size_t>(files)) {
    throw std::runtime_error("the published manifest lists too few files");
  }
  fs::remove_all(source);
  // The older build: 50000 bytes fewer at 2 MiB, 10000 others at 9 MiB, and
  // 100000 more at the end, which the new build no longer has.
  const std::string now = slurp(out / large);
  std::string old = now.substr(0, 2 << 20) + now.substr((2 << 20) + 50000);
  for (size_t i = 9 << 20; i < (9 << 20) + 10000; ++i) old[i] = static_cast<char>(~old[i]);
  old += std::string(100000, 'q');
  pub.largeRel = large;
  pub.largeOld = work / "patch-4-build-1.MPQ";
  pub.largeChanged = 60000;
  writeFile(pub.largeOld, old);
  if (!fs::exists(out / (large + ".qhblocks"))) throw std::runtime_error("no block map published");
  return pub;
}

SeedReport runSeed(const Published& pub, const fs::path& work, uint64_t seed,
                   const fs::path& driver) {
  SeedReport report;
  report.seed = seed;
  const fs::path root = work / ("seed-" + std::to_string(seed));
  fs::remove_all(root);
  const fs::path client = root / "client", state = root / "state", home = root / "home",
                 outside = root / "outside", logs = root / "logs";
  for (const fs::path& d : {client, state, home, outside, logs}) fs::create_directories(d);
  SampleClient::writeFile(outside / "notes.txt", 100, seed);
  SampleClient::writeFile(outside / "Interface/AddOns/Mine/Mine.lua", 50, seed + 1);
  const auto outsideBefore = snapshot(outside);
  const auto homeBefore = snapshot(home);

  DriverProcess runner(driver, home);
  Saboteur saboteur(pub, seed);
  TestServer server;  // gone first: its handlers call into the two above
  saboteur.kill = [&] { runner.kill(); };
  saboteur.stall = [&] { server.stall(); };
  server.serveFolder(pub.dir);
  server.setPlanner(
      [&](const TestServer::Request& r, size_t size) { return saboteur.plan(r, size); });
  for (const ManifestEntry& e : pub.entries) {
    if (!saboteur.missing().count(e.rel) && e.rel != pub.largeRel) report.minimumBytes += e.size;
  }
  const bool delta = updatesByDelta(seed);
  fs::create_directories((client / pub.largeRel).parent_path());
  fs::copy_file(delta ? pub.largeOld : pub.dir / pub.largeRel, client / pub.largeRel);
  if (delta) report.minimumBytes += pub.largeChanged;

  bool complete = false;
  while (!complete && report.runs < 60) {
    ++report.runs;
    const int status = runner.run({server.url(), client.string(), state.string()},
                                  logs / ("run-" + std::to_string(report.runs) + ".txt"));
    const bool killed = status == 128 + SIGKILL;
    if (killed) ++report.kills;
    complete = status == 0;
    if (!complete && !killed && status != 1) {
      report.problems.push_back("run " + std::to_string(report.runs) +
                                " ended abnormally, exit status " + std::to_string(status));
      break;
    }
    // The markers claim a complete install: it must be one, even when the
    // run was killed a moment later.
    std::error_code ec;
    if (!complete && fs::exists(client / ".qhversion", ec)) {
      report.corruptFiles +=
          verifyInstall(pub, client, saboteur.missing(),
                        "markers after run " + std::to_string(report.runs), false, report.problems);
    }
  }
  if (!complete) {
    report.problems.push_back("no complete run in " + std::to_string(report.runs) + " runs");
  } else {
    report.corruptFiles +=
        verifyInstall(pub, client, saboteur.missing(), "final", true, report.problems);
  }
  // What changed is left to see in the seed's folder, kept when it fails.
  if (snapshot(outside) != outsideBefore) report.problems.push_back("a file outside changed");
  if (snapshot(home) != homeBefore) report.problems.push_back("a file in the home folder changed");
  report.serverFaults = saboteur.faults();
  for (const auto& [path, bytes] : server.bytesSent()) {
    if (!path.ends_with(".txt")) report.bytesSent += static_cast<int64_t>(bytes);
  }
  const std::string log = slurp(state / "launcher.log");
  for (size_t at = 0; (at = log.find("delta update of ", at)) != std::string::npos; ++at) {
    const std::string line = log.substr(at, log.find('\n', at) - at);
    if (line.find(": fetched ") != std::string::npos) ++report.deltas;
  }
  report.survived = report.problems.empty();
  if (report.survived) fs::remove_all(root);
  return report;
}

std::string summary(const std::vector<SeedReport>& reports) {
  int64_t faults = 0, survived = 0, corrupt = 0;
  int64_t sent = 0, minimum = 0;
  for (const SeedReport& r : reports) {
    faults += r.faults();
    if (r.survived) survived += r.faults();
    corrupt += r.corruptFiles;
    sent += r.bytesSent;
    minimum += r.minimumBytes;
  }
  const double over =
      minimum > 0 ? 100.0 * static_cast<double>(sent - minimum) / static_cast<double>(minimum) : 0;
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "faults: %lld, survived: %lld, corrupt files: %lld, bytes re-downloaded: %.1f %% "
                "over minimum",
                static_cast<long long>(faults), static_cast<long long>(survived),
                static_cast<long long>(corrupt), over);
  return buf;
}

}  // namespace Campaign

}  // namespace qh
