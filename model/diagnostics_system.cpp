#include "model/diagnostics_system.h"

#include <QString>
#include <QSysInfo>
#include <cstdio>

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"
#include "model/package_managed.h"
#include "net/speed_limit.h"
#include "platform/machine.h"
#include "update/last_comparison.h"

namespace qh::Diagnostics {

namespace fs = std::filesystem;

namespace {

// The install folder's volume, through its nearest existing folder: a folder
// not made yet (or removed) still shows how much room the install would have.
int64_t freeSpaceFor(fs::path dir) {
  std::error_code ec;
  while (!dir.empty() && !fs::exists(dir, ec)) {
    if (dir == dir.parent_path()) break;
    dir = dir.parent_path();
  }
  const fs::space_info space = fs::space(dir.empty() ? fs::path("/") : dir, ec);
  return ec ? -1 : static_cast<int64_t>(space.available);
}

std::string orUnknown(std::string text) {
  return text.empty() ? std::string("unknown") : text;
}

std::string layerText(const LayerFiles& layer) {
  std::string text = layer.runtimeId.empty() ? std::string("none described") : layer.runtimeId;
  text += layer.cached       ? " (cached description"
          : layer.systemWine ? " (the system's Wine"
                             : " (built-in description";
  text += layer.runtimeInstalled ? "; installed" : "; not installed";
  text += layer.prefixReady ? "; prefix ready)" : "; no prefix yet)";
  return text;
}

}  // namespace

std::string sizeText(int64_t bytes) {
  if (bytes < 0) return "unknown";
  static const char* const units[] = {"bytes", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  if (unit == 0) return std::to_string(bytes) + " bytes";
  char figure[32];
  std::snprintf(figure, sizeof(figure), "%.1f %s", value, units[unit]);
  return std::string(figure) + " (" + std::to_string(bytes) + " bytes)";
}

SystemFacts gatherFacts(const Input& input, const LayerFiles& layer) {
  SystemFacts facts;
  facts.when = input.when;
  facts.os = (QSysInfo::prettyProductName() + QStringLiteral("; kernel ") + QSysInfo::kernelType() +
              QLatin1Char(' ') + QSysInfo::kernelVersion())
                 .toStdString();
  facts.cpu = Platform::cpuModel();
  facts.architecture = QSysInfo::currentCpuArchitecture().toStdString();
  facts.rosetta = input.rosetta;
  facts.memory = Platform::physicalMemory();
  facts.installDir = input.paths.installDir;
  std::error_code ec;
  facts.installExists = fs::is_directory(input.paths.installDir, ec);
  facts.freeSpace = freeSpaceFor(input.paths.installDir);
  facts.layer = layer;
  const int step = SpeedLimit::step();
  facts.speedLimit = SpeedLimit::labels()[step];
  facts.packageManaged = packageManaged(input.resources);
  facts.lastComparison = Files::read(input.paths.stateDir / LastComparison::fileName);
  return facts;
}

std::string render(const SystemFacts& facts, const std::vector<LeftOut>& leftOut) {
  const std::time_t when = std::chrono::system_clock::to_time_t(facts.when);
  std::string text;
  auto line = [&text](const std::string& label, const std::string& value) {
    text += label + ": " + value + "\n";
  };
  line("Launcher", "build " + std::to_string(QH::launcherBuild) + " (" + QH::userAgent() + ")");
  line("Made", Text::utcTime(when, "%Y-%m-%d %H:%M:%S UTC"));
  line("System", orUnknown(facts.os));
  line("Processor", orUnknown(facts.cpu) + " (" + orUnknown(facts.architecture) + ")");
  line("Rosetta 2", orUnknown(facts.rosetta));
  line("Memory", sizeText(facts.memory));
  line("Install folder",
       facts.installDir.string() + (facts.installExists ? "" : " (does not exist)"));
  line("Free space there", sizeText(facts.freeSpace));
  line("Runtime", layerText(facts.layer));
  line("Download speed limit", facts.speedLimit);
  line("Launcher updates", facts.packageManaged
                               ? "by the package manager (the launcher does not replace itself)"
                               : "by the launcher itself");
  if (facts.lastComparison) {
    const std::vector<std::string> lines = Text::splitLines(*facts.lastComparison);
    line("Last comparison", lines.empty() ? std::string("empty record") : lines.front());
    for (size_t i = 1; i < lines.size(); ++i) text += "  " + lines[i] + "\n";
  } else {
    line("Last comparison", "none recorded");
  }
  if (leftOut.empty()) {
    line("Left out", "nothing");
  } else {
    text += "Left out:\n";
    for (const LeftOut& l : leftOut) text += "  " + l.name + ": " + l.reason + "\n";
  }
  return text;
}

}  // namespace qh::Diagnostics
