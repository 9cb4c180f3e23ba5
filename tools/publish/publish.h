// qh-publish: turns a client folder into the files a distribution server
// serves. The client part is built in; every further part (runtime, launcher
// archive) is one flag registered from a file of its own.
// Thread-safety: the tool runs its steps one after another on the main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/os_layout.h"

namespace qh {

struct PublishContext {
  std::filesystem::path clientDir;
  std::filesystem::path outDir;
  std::string version;
  // Whether standard error is a terminal (progress bars) or not (plain lines).
  bool terminal = false;
  // Hashing threads; 0 means one per core.
  unsigned jobs = 0;
  // Hard-link the files into OUT_DIR instead of copying them, where the file
  // system allows; the published bytes then change if a client file is later
  // edited in place, so only for client folders that are replaced, not edited.
  bool link = false;
  // Whose runtime and launcher --runtime and --launcher publish (--platform):
  // each platform has its own folder, so one tree serves both.
  Os os = Os::macOS;
};

// A flag with one value, e.g. "--runtime FILE". Steps run after the client is
// published, in registration order, for the flags given.
struct PublishFlag {
  std::string name;
  std::string valueName;
  std::string help;
  // Throws (std::exception) with the message to print before exiting with 1.
  std::function<void(const PublishContext&, const std::string& value)> run;
};

// Adds a flag; call from a namespace-scope initialiser in the flag's own file:
//   const bool registered = registerPublishFlag({...});
bool registerPublishFlag(PublishFlag flag);
const std::vector<PublishFlag>& publishFlags();

// Publishes the client files, "manifest.txt", "version.txt" and
// "game_version.txt". Throws Error (or systemError) with the reason it
// refused or failed.
void publishClient(const PublishContext& context);

}  // namespace qh
