// The client's realm list "Data/enUS/realmlist.wtf": makes sure it names a
// realm server, leaving any file that already names one alone.
// Thread-safety: no shared state.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/paths.h"

namespace qh::ClientFiles {

// installDir/"Data/enUS/realmlist.wtf".
std::filesystem::path realmListPath(const Paths& paths);

// "set realmlist <realm host>" and CR LF: the whole file the launcher writes.
std::string realmListText();

// True when a line of `text`, not commented out with "#", starts with
// "set realmlist" in any case and has something besides blanks and quotes
// after it. Lines break at every newline character.
bool namesRealmHost(std::string_view text);

// Rewrites the file with realmListText() when it is missing, not UTF-8 or
// names no host. Failures leave the file as it was.
void ensureRealmList(const Paths& paths);

}  // namespace qh::ClientFiles
