#include "core/own_threads.h"

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "platform/joining_thread.h"

namespace qh::OwnThreads {
namespace {

struct Entry {
  StopSource stop;
  JoiningThread thread;
  std::atomic<bool> done{false};
};

struct Registry {
  std::mutex mutex;
  // A list: an entry stays where it is while its thread runs.
  std::list<Entry> entries;

  void stopAndJoin() {
    for (;;) {
      std::list<Entry> taken;
      {
        std::lock_guard lock(mutex);
        if (entries.empty()) return;
        taken.splice(taken.end(), entries);
      }
      for (Entry& e : taken) e.stop.request_stop();
      // Each thread joins as it is destroyed.
      taken.clear();
    }
  }

  // The fallback for a program that never called stopAll(); by then other
  // statics may be gone, so main() must not rely on it.
  ~Registry() { stopAndJoin(); }
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

void start(std::function<void(StopToken)> work) {
  Registry& r = registry();
  std::list<Entry> finished;
  {
    std::lock_guard lock(r.mutex);
    for (auto it = r.entries.begin(); it != r.entries.end();) {
      const auto next = std::next(it);
      if (it->done.load()) finished.splice(finished.end(), r.entries, it);
      it = next;
    }
    Entry& entry = r.entries.emplace_back();
    entry.thread = JoiningThread(
        std::thread([&done = entry.done, work = std::move(work), stop = entry.stop.get_token()] {
          work(stop);
          done.store(true);
        }));
  }
  // Joined outside the lock: each is at most freeing what its work captured.
  finished.clear();
}

void stopAll() {
  registry().stopAndJoin();
}

size_t count() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.entries.size();
}

}  // namespace qh::OwnThreads
