// A system as a test lays it out for the system-Wine search: the files that
// exist and the programs that may run, by absolute path. Records every path
// asked about.
#pragma once

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "compat/system_wine.h"

namespace qh {

class FakeWineHost final : public WineHost {
 public:
  std::set<std::string> files;
  std::set<std::string> programs;

  // Debian 12's wine64 alone: the wrapper, wineserver and the 64-bit side.
  void debianWine64() {
    programs.insert({"/usr/bin/wine", "/usr/bin/wineserver"});
    files.insert("/usr/lib/x86_64-linux-gnu/wine/x86_64-unix/ntdll.so");
    files.insert("/usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll");
  }
  // ... with wine32:i386 beside it.
  void debianWine32() {
    debianWine64();
    files.insert("/usr/lib/i386-linux-gnu/wine/i386-unix/ntdll.so");
  }

  bool isFile(const std::filesystem::path& path) const override {
    note(path);
    return files.contains(path.string()) || programs.contains(path.string());
  }
  bool isExecutable(const std::filesystem::path& path) const override {
    note(path);
    return programs.contains(path.string());
  }
  std::vector<std::string> asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  void note(const std::filesystem::path& path) const {
    std::lock_guard lock(mutex_);
    asked_.push_back(path.string());
  }
  mutable std::mutex mutex_;
  mutable std::vector<std::string> asked_;
};

}  // namespace qh
