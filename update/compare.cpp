#include "update/compare.h"

#include <atomic>
#include <mutex>
#include <system_error>

#include "core/log.h"
#include "core/quitting.h"
#include "core/text.h"
#include "net/hash.h"
#include "update/install_tree.h"
#include "update/tree_pass.h"

namespace qh::Compare {
namespace {

enum class Verdict { skip, needed, hash };

bool isLauncherItself(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  const std::string name = Text::lower(slash == std::string::npos ? rel : rel.substr(slash + 1));
  return name == "quellhaven.exe" || name.starts_with("quellhavenlauncher");
}

Verdict judge(const ManifestEntry& e, const Known& known, InstallTree& tree) {
  if (isLauncherItself(e.rel)) return Verdict::skip;
  const InstallTree::Target target = tree.locate(e.rel);
  if (target.problem != SafePath::Problem::none) {
    Log::line("skipped unsafe manifest path \"" + e.rel +
              "\": " + std::string(SafePath::text(target.problem)));
    return Verdict::skip;
  }
  const std::string lowerRel = Text::lower(e.rel);
  // The player's own settings: supplied once, never overwritten.
  if (lowerRel.starts_with("wtf/")) return target.exists ? Verdict::skip : Verdict::needed;
  if (!target.size || *target.size != e.size) return Verdict::needed;
  if (const auto it = known.find(lowerRel); it != known.end() && it->second != e.sha1) {
    return Verdict::needed;
  }
  return Verdict::hash;
}

// Hashes the candidates on a few threads; the result sits in each entry's own
// slot, so the order of completion does not matter.
void hashCandidates(const std::vector<ManifestEntry>& entries, std::vector<Verdict>& verdicts,
                    const std::filesystem::path& installDir, const StatusCallback& status) {
  std::vector<size_t> candidates;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (verdicts[i] == Verdict::hash) candidates.push_back(i);
  }
  const std::string count = std::to_string(entries.size());
  std::atomic<size_t> next{0};
  // The threads reach their positions in order but may report them out of
  // it; a position below one already shown is left out, and the reports
  // leave one at a time, so the count never steps back.
  std::mutex reporting;
  size_t shown = 0;
  const auto report = [&](size_t position) {
    std::lock_guard lock(reporting);
    if (position <= shown) return;
    shown = position;
    status("Verifying files... (" + std::to_string(position) + " of " + count + ")", std::nullopt);
  };
  const auto work = [&] {
    for (size_t k; (k = next++) < candidates.size() && !Quitting::now();) {
      const size_t i = candidates[k];
      if ((i + 1) % 10 == 0) report(i + 1);
      std::string digest;
      try {
        digest = Hash::sha1(installDir / entries[i].rel);
      } catch (const std::exception&) {
        // Unreadable files are left as they are.
        verdicts[i] = Verdict::skip;
        continue;
      }
      verdicts[i] = digest == Text::lower(entries[i].sha1) ? Verdict::skip : Verdict::needed;
    }
  };
  runOnThreads(candidates.size(), work);
}

}  // namespace

Known knownChecksums(const std::vector<ManifestEntry>& localEntries) {
  Known known;
  for (const ManifestEntry& e : localEntries) known[Text::lower(e.rel)] = e.sha1;
  return known;
}

std::vector<ManifestEntry> neededEntries(const std::vector<ManifestEntry>& entries,
                                         const Known& known,
                                         const std::filesystem::path& installDir, bool force,
                                         const StatusCallback& status) {
  // Each verdict in its own slot: the threads share none.
  std::vector<Verdict> verdicts(entries.size(), Verdict::skip);
  forEachInTree(installDir, entries.size(), 512,
                [&](InstallTree& tree, size_t i) { verdicts[i] = judge(entries[i], known, tree); });
  if (force) {
    hashCandidates(entries, verdicts, installDir, status);
    // Files left unchecked must not pass for good ones.
    if (Quitting::now()) {
      throw std::system_error(std::make_error_code(std::errc::operation_canceled),
                              "quitting while verifying files");
    }
  }
  std::vector<ManifestEntry> needed;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (verdicts[i] == Verdict::needed) needed.push_back(entries[i]);
  }
  return needed;
}

}  // namespace qh::Compare
