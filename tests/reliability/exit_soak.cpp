// qh-soak-exit: starts the launcher bundle again and again, offscreen and
// driven by its autopilot, and quits it at a random moment of an install, a
// verify, a runtime install or a game run, through its own quit path (SIGTERM,
// which it turns into an orderly quit). After each quit: did it exit cleanly,
// did a sanitizer speak, is every ".part" a prefix of its file and every
// marker true; then the next start must finish the job byte-identical. The
// counts are printed last.
//
//   qh-soak-exit [--runs N] [--jobs J] [--seed S] [--keep]
//                [--only install|verify|runtime|game]
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/files.h"
#include "core/os_layout.h"
#include "core/qh.h"
#include "platform/process.h"
#include "tools/sample/sample_client.h"
#include "tools/serve/static_server.h"

namespace fs = std::filesystem;
using namespace qh;

namespace {

constexpr const char* kRuntimeId = "qh-soak-wine";
constexpr const char* kScenarios[] = {"install", "verify", "runtime", "game"};

// In one read: a byte at a time, the checks took longer under ASan than the
// launcher runs they check.
std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::string text(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

void put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

struct World {
  fs::path work, source, runtime, www;
  std::string url;
  std::vector<std::string> rels;
};

struct Run {
  int status = -1;  // as platform/process.h encodes it; -2: stuck
  std::string out;
  bool quitSent = false;
};

// The launcher over `home`, quit `delay` seconds after `cue` appears in its
// output (never, for an empty cue: it runs to its own end).
Run runLauncher(const fs::path& home, const std::string& autopilot, const std::string& cue,
                double delay, const fs::path& outFile) {
  Process::Environment env;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    const size_t eq = kv.find('=');
    if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const char* gone : {"DISPLAY", "WAYLAND_DISPLAY", "QH_DEMO_SHOTS", "WINEPREFIX", "WINEDEBUG",
                           "WINEDLLOVERRIDES", "DXVK_HUD"}) {
    env.erase(gone);
  }
  env["HOME"] = home.string();
  env["XDG_DATA_HOME"] = (home / "data").string();
  env["XDG_CONFIG_HOME"] = (home / "config").string();
  env["XDG_CACHE_HOME"] = (home / "cache").string();
  env["XDG_RUNTIME_DIR"] = (home / "run").string();
  env["QT_QPA_PLATFORM"] = "offscreen";
  env["QT_QUICK_BACKEND"] = "software";
  env["QH_DEMO_AUTOPILOT"] = autopilot;
  // As `make asan` runs the tests: the leaks of a quit are not counted.
  env["ASAN_OPTIONS"] = "detect_leaks=0";
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);

  Run run;
  const UniqueFd out(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  Process::Request request{fs::path(QH_BUNDLE) / "Contents/MacOS/quellhaven-launcher", {}, env};
  request.output = Process::Stream::to(out.get());
  request.error = Process::Stream::sameAsOutput();
  const Process::Started child = Process::spawn(request);
  if (child.error) {
    run.out = "could not start: " + child.error.message();
    return run;
  }
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  std::optional<Clock::time_point> quitAt;
  for (;;) {
    int raw = 0;
    const pid_t waited = ::waitpid(child.pid, &raw, WNOHANG);
    if (waited == child.pid) {
      run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      break;
    }
    const auto now = Clock::now();
    if (!run.quitSent && !cue.empty()) {
      if (!quitAt && slurp(outFile).find(cue) != std::string::npos) {
        quitAt =
            now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delay));
      }
      if (quitAt && now >= *quitAt) {
        ::kill(child.pid, SIGTERM);
        run.quitSent = true;
        quitAt = now;
      }
    }
    // A start that hangs, or a quit that does not end the process.
    const double limit = run.quitSent ? 60 : 300;
    if (now - (run.quitSent ? *quitAt : started) > std::chrono::duration<double>(limit)) {
      ::kill(child.pid, SIGKILL);
      ::waitpid(child.pid, &raw, 0);
      run.status = -2;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.out = slurp(outFile);
  return run;
}

bool sanitizerSpoke(const std::string& out) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                           "WARNING: ThreadSanitizer", "double free", "corrupted"}) {
    if (out.find(mark) != std::string::npos) return true;
  }
  return false;
}

// The files the client update owns: the launcher rewrites the caches and the
// settings folder itself.
bool updateOwned(const std::string& rel) {
  return !rel.starts_with("Cache/") && !rel.starts_with("WTF/");
}

// What may lie in the install and runtime folders at any moment: each ".part"
// a prefix of its file, every finished file right (unless `damaged`, which
// a verify is to repair), and the markers true.
std::vector<std::string> inconsistencies(const World& world, const fs::path& home,
                                         const std::vector<std::string>& damaged) {
  std::vector<std::string> found;
  const fs::path client = home / "Quellhaven";
  const bool marked = fs::exists(client / ".qhversion");
  for (const std::string& rel : world.rels) {
    if (!updateOwned(rel)) continue;
    const fs::path file = client / rel;
    fs::path part = file;
    part += ".part";
    const std::string want = slurp(world.source / rel);
    if (fs::exists(part) && !want.starts_with(slurp(part))) found.push_back(rel + ".part");
    const bool isDamaged = std::find(damaged.begin(), damaged.end(), rel) != damaged.end();
    if (isDamaged) continue;
    if (fs::exists(file) ? slurp(file) != want : marked) found.push_back(rel);
  }
  const fs::path runtime = home / "data/Quellhaven/runtime" / kRuntimeId;
  if (fs::exists(runtime / ".qh_complete") &&
      slurp(runtime / kRuntimeId / "bin/wine") != slurp(world.runtime / "bin/wine")) {
    found.push_back("runtime marked complete");
  }
  const fs::path prefix = home / "data/Quellhaven" / (std::string("prefix-") + kRuntimeId);
  if (fs::exists(prefix / (std::string(".qh_prefix_") + kRuntimeId)) &&
      !fs::is_directory(prefix / "drive_c/windows/syswow64")) {
    found.push_back("prefix marked ready");
  }
  return found;
}

struct Counts {
  std::mutex mutex;
  std::map<std::string, int> runs;
  int crashes = 0, reports = 0, inconsistent = 0, stuck = 0, unfinished = 0;
  // Runs that reached their own end before the quit was sent.
  int endedFirst = 0;
};

// Printed every 50 runs as well, so a soak stopped early still has its figures.
void report(std::FILE* to, Counts& counts) {
  std::lock_guard lock(counts.mutex);
  int runs = 0;
  for (const auto& [scenario, n] : counts.runs) runs += n;
  std::fprintf(
      to,
      "runs: %d (install %d, verify %d, runtime install %d, game %d; %d ended before the quit)\n",
      runs, counts.runs["install"], counts.runs["verify"], counts.runs["runtime"],
      counts.runs["game"], counts.endedFirst);
  std::fprintf(to,
               "crashes: %d, sanitizer reports: %d, inconsistent: %d, stuck: %d, "
               "next start unfinished: %d\n",
               counts.crashes, counts.reports, counts.inconsistent, counts.stuck,
               counts.unfinished);
  std::fflush(to);
}

void fail(Counts& counts, const std::string& what, const std::string& out) {
  std::lock_guard lock(counts.mutex);
  std::fprintf(stderr, "--- %s\n%s\n", what.c_str(), out.c_str());
}

// Makes `home` a fresh start over the server.
void freshHome(const World& world, const fs::path& home) {
  fs::remove_all(home);
  put(home / "data/Quellhaven/launcher.cfg", world.url + "\n");
}

void copyHome(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  // The copy installs into its own folder, not the original's.
  const fs::path remembered = to / "data/Quellhaven/install_path.txt";
  if (fs::exists(remembered)) put(remembered, (to / "Quellhaven").string());
}

void oneRun(const World& world, const fs::path& dir, const fs::path& installed,
            const fs::path& played, std::mt19937_64& rng, Counts& counts, const std::string& only) {
  const std::string scenario = only.empty() ? std::string(kScenarios[rng() % 4]) : only;
  const fs::path home = dir / "home";
  std::vector<std::string> damaged;
  std::string autopilot = "1", cue, finish = "ready";
  double window = 2.0;
  if (scenario == "install") {
    freshHome(world, home);
    autopilot = "ready";
    cue = " press  INSTALL";
    window = 0.8;
  } else if (scenario == "verify") {
    copyHome(installed, home);
    for (int i = 0; i < 3; ++i) {
      const std::string rel = world.rels[rng() % world.rels.size()];
      const fs::path file = home / "Quellhaven" / rel;
      if (!updateOwned(rel) || !fs::exists(file) || fs::file_size(file) == 0) continue;
      std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(0);
      f.put(static_cast<char>(~slurp(file)[0]));
      damaged.push_back(rel);
    }
    autopilot = finish = "verify";
    cue = " press  Verify and repair";
    window = 0.4;
  } else if (scenario == "runtime") {
    // Installed, the compatibility layer not yet: the start-up's ready step
    // downloads, unpacks and prepares it.
    copyHome(installed, home);
    for (const auto& entry : fs::directory_iterator(home / "data/Quellhaven")) {
      const std::string name = entry.path().filename().string();
      if (name == "runtime" || name.starts_with("prefix-")) fs::remove_all(entry.path());
    }
    autopilot = "ready";
    cue = " status Downloading the " + osLayout().layerName + " compatibility layer";
    // The stand-in layer is ready within a few tenths of a second.
    window = 0.25;
  } else {
    copyHome(played, home);
    put(home / "Quellhaven/qh_exit.txt", "6\n");
    cue = " status Starting Quellhaven...";
    window = 3.0;
  }
  const double delay = std::uniform_real_distribution<double>(0.0, window)(rng);
  const Run run = runLauncher(home, autopilot, cue, delay, dir / "out.txt");
  {
    std::lock_guard lock(counts.mutex);
    ++counts.runs[scenario];
    if (!run.quitSent) ++counts.endedFirst;
  }
  const auto count = [&](int Counts::*field, const std::string& what) {
    {
      std::lock_guard lock(counts.mutex);
      ++(counts.*field);
    }
    fail(counts, scenario + ": " + what, run.out);
  };
  if (run.status == -2)
    count(&Counts::stuck, "did not end");
  else if (run.status != 0)
    count(&Counts::crashes, "exit status " + std::to_string(run.status));
  if (sanitizerSpoke(run.out)) count(&Counts::reports, "sanitizer report");
  // A game started before the quit ends by itself within seconds.
  if (scenario == "game") std::this_thread::sleep_for(std::chrono::seconds(5));
  for (const std::string& what : inconsistencies(world, home, damaged)) {
    count(&Counts::inconsistent, "inconsistent " + what);
  }
  // The next start finishes the job.
  const Run next = runLauncher(home, finish, "", 0, dir / "next.txt");
  const bool finished = next.status == 0 && next.out.find(" ready  ") != std::string::npos;
  if (!finished || sanitizerSpoke(next.out) || !inconsistencies(world, home, {}).empty()) {
    std::lock_guard lock(counts.mutex);
    ++counts.unfinished;
    std::fprintf(stderr, "--- %s: the next start did not finish\n%s\n", scenario.c_str(),
                 next.out.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1000, jobs = 1;
  uint64_t seed = 1;
  bool keep = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (arg == "--jobs" && i + 1 < argc)
      jobs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--seed" && i + 1 < argc)
      seed = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--keep")
      keep = true;
    else if (arg == "--only" && i + 1 < argc)
      only = argv[++i];
    else {
      std::fprintf(stderr,
                   "usage: qh-soak-exit [--runs N] [--jobs J] [--seed S] [--keep] "
                   "[--only install|verify|runtime|game]\n");
      return 2;
    }
  }
  World world;
  char tmpl[] = "/tmp/qh-soak-exit-XXXXXX";
  world.work = ::mkdtemp(tmpl);
  world.source = world.work / "source";
  world.runtime = world.work / "runtime" / kRuntimeId;
  world.www = world.work / "www";
  world.rels = SampleClient::generateShaped(world.source, 6 << 20, 60, QH_GAME_EXE);
  SampleClient::writeRuntime(world.runtime, true);
  const int published =
      Process::run({QH_PUBLISH,
                    {world.source.string(), world.www.string(), "--version", "1.0.0", "--platform",
                     osLayout().folder, "--runtime-id", kRuntimeId, "--runtime",
                     world.runtime.string(), "--launcher-build", std::to_string(QH::launcherBuild)},
                    std::nullopt,
                    std::nullopt,
                    {},
                    Process::Stream::nullDevice()});
  if (published != 0) {
    std::fprintf(stderr, "qh-soak-exit: qh-publish failed (%d)\n", published);
    return 2;
  }
  StaticServer server(world.www);
  if (server.bind("127.0.0.1", 0) < 0) return 2;
  server.start();
  world.url = server.url();

  // Two starting points made once: installed, and installed with the
  // runtime and prefix in place after a game ran to its normal end.
  const fs::path installed = world.work / "installed", played = world.work / "played";
  freshHome(world, installed);
  Run made = runLauncher(installed, "ready", "", 0, world.work / "installed.txt");
  copyHome(installed, played);
  put(played / "Quellhaven/qh_exit.txt", "13\n");
  Run madePlayed = runLauncher(played, "1", "", 0, world.work / "played.txt");
  if (made.status != 0 || madePlayed.status != 0 ||
      !fs::exists(played / "data/Quellhaven" / (std::string("prefix-") + kRuntimeId))) {
    std::fprintf(stderr, "qh-soak-exit: could not prepare\n%s\n%s\n", made.out.c_str(),
                 madePlayed.out.c_str());
    return 2;
  }

  Counts counts;
  std::atomic<int> next{0};
  std::vector<std::thread> workers;
  for (int j = 0; j < jobs; ++j) {
    workers.emplace_back([&, j] {
      std::mt19937_64 rng(seed * 7919 + static_cast<uint64_t>(j));
      const fs::path dir = world.work / ("job" + std::to_string(j));
      fs::create_directories(dir);
      for (int n; (n = next++) < runs;) {
        oneRun(world, dir, installed, played, rng, counts, only);
        if ((n + 1) % 50 == 0) report(stderr, counts);
      }
    });
  }
  for (std::thread& t : workers) t.join();
  server.stop();
  if (!keep) fs::remove_all(world.work);

  report(stdout, counts);
  return counts.crashes + counts.reports + counts.inconsistent + counts.stuck + counts.unfinished ==
                 0
             ? 0
             : 1;
}
