#include "bench/common/install_run.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "core/files.h"
#include "core/os_layout.h"
#include "tools/sample/sample_client.h"

namespace qh::bench {

namespace fs = std::filesystem;

namespace {

std::string percentEncoded(const std::string& rel) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : rel) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// "first frame shown after N ms" from the launcher's log, in seconds, or -1.
double firstFrame(const fs::path& home) {
  const std::string log = Files::read(home / "data/Quellhaven/launcher.log").value_or("");
  const std::string key = "first frame shown after ";
  const size_t at = log.find(key);
  return at == std::string::npos ? -1 : std::atof(log.c_str() + at + key.size()) / 1000.0;
}

// CPU seconds process `pid` has used so far (user and system), from /proc; -1 if unknown.
double processCpu(qint64 pid) {
  const std::string stat =
      Files::read(fs::path("/proc") / std::to_string(pid) / "stat").value_or("");
  // Fields after the command's closing parenthesis: state is the 3rd, utime the 14th.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::atof(field.c_str());
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

std::vector<ManifestEntry> publishShaped(const fs::path& root, long megabytes, long files,
                                         const fs::path& gameExe, const fs::path& publishTool) {
  SampleClient::generateShaped(root / "source", static_cast<int64_t>(megabytes) << 20,
                               static_cast<int>(files), gameExe);
  const fs::path runtime = root / "runtime/qh-bench-wine";
  SampleClient::writeRuntime(runtime, true);
  QProcess publish;
  publish.start(QString::fromStdString(publishTool.string()),
                {QString::fromStdString((root / "source").string()),
                 QString::fromStdString((root / "www").string()), "--version", "1", "--platform",
                 QString::fromStdString(osLayout().folder), "--runtime",
                 QString::fromStdString(runtime.string())});
  if (!publish.waitForFinished(-1) || publish.exitCode() != 0) {
    std::fprintf(stderr, "qh-publish failed: %s\n", publish.readAllStandardError().constData());
    return {};
  }
  return Manifest::parse(Files::read(root / "www/manifest.txt").value_or(""));
}

double childrenCpu() {
  rusage r{};
  ::getrusage(RUSAGE_CHILDREN, &r);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(r.ru_utime) + seconds(r.ru_stime);
}

LauncherRun launcherToReady(const fs::path& bundle, const fs::path& home, const std::string& url,
                            const Environment& environment, const std::string& settings,
                            std::FILE* log) {
  fs::create_directories(home / "data/Quellhaven");
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  Files::writeAtomic(home / "data/Quellhaven/launcher.cfg", url + "\n");
  if (!settings.empty()) {
    fs::create_directories(home / "config/Quellhaven");
    Files::writeAtomic(home / "config/Quellhaven/Quellhaven Launcher.conf", settings);
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home.string()));
  env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
  env.insert("XDG_CACHE_HOME", QString::fromStdString((home / "cache").string()));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString((home / "run").string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QT_QUICK_BACKEND", "software");
  env.insert("QH_DEMO_AUTOPILOT", "ready");
  env.remove("QH_DEMO_SHOTS");
  for (const auto& [name, value] : environment) {
    env.insert(QString::fromStdString(name), QString::fromStdString(value));
  }
  LauncherRun run;
  QProcess launcher;
  launcher.setProcessEnvironment(env);
  launcher.setProcessChannelMode(QProcess::MergedChannels);
  const double cpuBefore = childrenCpu();
  QElapsedTimer clock;
  clock.start();
  launcher.start(QString::fromStdString((bundle / "Contents/MacOS/quellhaven-launcher").string()),
                 {});
  double ready = -1;
  const auto mark = [&](double& step, const std::string& line, const char* text) {
    if (step < 0 && line.find(text) != std::string::npos) {
      step = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
  };
  double filesStart = -1;
  std::string pending;
  while (launcher.state() != QProcess::NotRunning || launcher.bytesAvailable() > 0) {
    if (launcher.bytesAvailable() == 0) launcher.waitForReadyRead(1000);
    pending += launcher.readAll().toStdString();
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
      const std::string line = pending.substr(0, nl);
      if (log) std::fprintf(log, "%s\n", line.c_str());
      mark(run.window, line, "] start ");
      if (run.download < 0) {
        mark(run.download, line, "] status Downloading 1 of ");
        if (run.download >= 0) filesStart = processCpu(launcher.processId());
      }
      if (run.download >= 0 && run.finishing < 0) {
        mark(run.finishing, line, "compatibility layer");
        if (run.finishing >= 0 && filesStart >= 0) {
          run.filesCpu = processCpu(launcher.processId()) - filesStart;
        }
      }
      mark(ready, line, "] ready ");
      if (line.find("FAILED") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (clock.elapsed() > 3600 * 1000) launcher.kill();
  }
  launcher.waitForFinished();
  run.cpu = childrenCpu() - cpuBefore;
  run.firstFrame = firstFrame(home);
  if (launcher.exitStatus() == QProcess::NormalExit && launcher.exitCode() == 0) run.ready = ready;
  return run;
}

CurlRun curlAll(const std::vector<ManifestEntry>& entries, const std::string& url,
                const fs::path& into, const std::vector<std::string>& arguments) {
  std::string config;
  for (const ManifestEntry& e : entries) {
    config += "url = \"" + url + "/" + percentEncoded(e.rel) + "\"\noutput = \"" +
              (into / e.rel).string() + "\"\n";
  }
  const fs::path list = into.parent_path() / (into.filename().string() + ".cfg");
  Files::writeAtomic(list, config);
  QStringList args{"--silent",      "--show-error", "--fail",
                   "--create-dirs", "--config",     QString::fromStdString(list.string())};
  for (const std::string& a : arguments) args << QString::fromStdString(a);
  CurlRun run;
  QProcess curl;
  const double cpuBefore = childrenCpu();
  QElapsedTimer clock;
  clock.start();
  curl.start("/usr/bin/curl", args);
  const bool ok = curl.waitForFinished(3600 * 1000) && curl.exitCode() == 0;
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  run.cpu = childrenCpu() - cpuBefore;
  if (!ok) {
    std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
    return run;
  }
  run.seconds = seconds;
  return run;
}

}  // namespace qh::bench
