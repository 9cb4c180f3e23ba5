// Hides who the player is in what the diagnostics carry: the home folder
// becomes "~" and the login name "<user>", wherever either appears.
// Thread-safety: a plain value; apply() on any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qh {

class Redaction {
 public:
  // `homes`: the home folder and any other spelling of it (its resolved
  // form); empty entries and "/" are ignored. An empty `user` hides no name.
  Redaction(std::vector<std::string> homes, std::string user);

  // `text` with every home folder (where the path's name ends there, not in
  // "/home/bobby" for "/home/bob") written "~", then every standalone
  // occurrence of the login name, in any letter case, written "<user>".
  std::string apply(std::string_view text) const;

 private:
  std::vector<std::string> homes_;
  std::string user_;
};

}  // namespace qh
