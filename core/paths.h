// The three locations every part of the launcher works on, and the keys the
// distribution server's releases must be signed with.
// Thread-safety: a plain value; copy it to hand it to another thread.
#pragma once

#include <filesystem>
#include <string>

#include "core/release_keys.h"

namespace qh {

struct Paths {
  // Distribution server base URL, never ending in "/".
  std::string base;
  // The launcher's support folder (logs, runtime, prefix, markers).
  std::filesystem::path stateDir;
  // The game client folder.
  std::filesystem::path installDir;
  // Empty: the server's word is taken unsigned. Paths::load() leaves it
  // empty; the program fills it from the bundle (ReleaseKeys::fromBundle).
  ReleaseKeys releaseKeys = {};

  // The client executable: "QuellhavenGame.exe" if present, else "Wow.exe" if
  // present, else the "QuellhavenGame.exe" path. Touches the file system.
  std::filesystem::path gameExe() const;

  // Resolves the locations from "launcher.cfg" and "install_path.txt" in the
  // support folder, creating that folder. Never fails: defaults fill every gap.
  static Paths load();
  // The same locations, creating nothing: for a run that must leave the
  // support folder as it found it.
  static Paths read();
};

}  // namespace qh
