#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <fstream>

#include "platform/machine.h"

namespace qh::Platform {

std::string cpuModel() {
  // x86 names the model on "model name" lines; ARM boards often name none.
  std::ifstream info("/proc/cpuinfo");
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t start = line.find_first_not_of(" \t", colon + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return {};
}

// File managers differ in how (and whether) they select a file; every one
// opens a folder.
void revealFile(const std::filesystem::path& file) {
  QDesktopServices::openUrl(
      QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string())));
}

}  // namespace qh::Platform
