// qh-publish of a 2 GiB tree of mixed file sizes against a single-threaded
// sha1sum over the same files, page cache warm for both.
// Prints the copying run's ratio for information and, last, "ratio: <sha1sum's
// time / qh-publish --link's time>": the hashing, without the disk writes of a
// copy that a linked publish does not need. Higher is better.
#include <cstdio>

#include "bench/common/bench_support.h"
#include "bench/common/mixed_tree.h"

using namespace qh;

int main() {
  bench::Scratch scratch;
  const auto root = scratch.path() / "client";
  std::vector<std::string> sha1sum = {"/usr/bin/sha1sum"};
  for (const bench::TreeFile& f : bench::writeMixedTree(root)) {
    sha1sum.push_back((root / f.rel).string());
  }
  int rc = 0;
  const double reference = bench::best(2, [&] { rc = bench::run(sha1sum); });
  int published = 0;
  // The best of two runs, each into a fresh output folder (removal not timed).
  const auto publish = [&](std::vector<std::string> extra) {
    double best = 1e300;
    for (int i = 0; i < 2; ++i) {
      std::filesystem::remove_all(scratch.path() / "out");
      std::vector<std::string> args = {QH_PUBLISH, root.string(), (scratch.path() / "out").string(),
                                       "--version", "1"};
      args.insert(args.end(), extra.begin(), extra.end());
      best = std::min(best, bench::seconds([&] { published |= bench::run(args); }));
    }
    return best;
  };
  const double copying = publish({});
  const double ours = publish({"--link"});
  if (rc != 0 || published != 0) {
    std::fprintf(stderr, "bench-publish: unexpected result (sha1sum %d, qh-publish %d)\n", rc,
                 published);
    return 1;
  }
  std::printf("sha1sum: %.2f s\nqh-publish (copying): %.2f s, ratio %.2f\n", reference, copying,
              reference / copying);
  std::printf("qh-publish --link: %.2f s\n", ours);
  std::printf("ratio: %.2f\n", reference / ours);
  return 0;
}
