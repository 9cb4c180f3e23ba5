#include "update/compare.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "core/log.h"
#include "core/quitting.h"
#include "core/text.h"
#include "net/hash.h"
#include "update/install_tree.h"

namespace qh::Compare {
namespace {

enum class Verdict { skip, needed, hash };

// Runs `work` on this thread and on up to three more, no more threads than
// `items`, and returns when all are done.
void runOnThreads(size_t items, const std::function<void()>& work) {
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads && t < items; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
}

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
                    const std::filesystem::path& installDir,
                    const std::function<void(const std::string&)>& status) {
  std::vector<size_t> candidates;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (verdicts[i] == Verdict::hash) candidates.push_back(i);
  }
  const std::string count = std::to_string(entries.size());
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t k; (k = next++) < candidates.size() && !Quitting::now();) {
      const size_t i = candidates[k];
      if ((i + 1) % 10 == 0) {
        status("Verifying files... (" + std::to_string(i + 1) + " of " + count + ")");
      }
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
                                         const std::function<void(const std::string&)>& status) {
  // Mostly waiting on the file system: a few threads over blocks of entries,
  // each verdict in its own slot.
  std::vector<Verdict> verdicts(entries.size(), Verdict::skip);
  constexpr size_t block = 512;
  std::atomic<size_t> nextBlock{0};
  const auto work = [&] {
    InstallTree tree(installDir);
    for (size_t b; (b = nextBlock++ * block) < entries.size();) {
      for (size_t i = b; i < std::min(b + block, entries.size()); ++i) {
        verdicts[i] = judge(entries[i], known, tree);
      }
    }
  };
  runOnThreads(entries.size() / block, work);
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
