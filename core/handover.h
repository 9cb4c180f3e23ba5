// Marks where data passes from one thread to another through Qt.
//
// ThreadSanitizer sees only code compiled with it, and Qt is not: the locks and
// atomics with which Qt passes a job to a pool thread, finishes a future or
// posts an event are invisible to it, so data handed over that way would read
// as a race. `give` before the hand-over and `take` after it state the order
// Qt guarantees, and the data on both sides is still checked. Without
// ThreadSanitizer both are nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define QH_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QH_TSAN 1
#endif
#endif

#ifdef QH_TSAN
#include <sanitizer/tsan_interface.h>
#endif

#include <QMetaObject>
#include <QObject>
#include <utility>

namespace qh::Handover {

// Everything this thread did so far happens before what a thread does after
// a later `take` of the same token.
inline void give([[maybe_unused]] const void* token) {
#ifdef QH_TSAN
  __tsan_release(const_cast<void*>(token));
#endif
}

inline void take([[maybe_unused]] const void* token) {
#ifdef QH_TSAN
  __tsan_acquire(const_cast<void*>(token));
#endif
}

namespace detail {

// A call on its way to another thread. Its last member is made last, once the
// call is in place, so it marks each copy complete at the copy's own address.
// Qt drops the posted copy on whichever thread lets go of it last, the poster
// or the receiver, so running it marks the end of the receiver's part too.
template <typename F>
class Posted {
 public:
  explicit Posted(F call) : call_(std::move(call)) {}
  Posted(Posted&&) = default;
  ~Posted() { take(&mark_); }

  void operator()() {
    take(&mark_);
    call_();
    give(&mark_);
  }

 private:
  struct Mark {
    Mark() { give(this); }
    Mark(const Mark&) { give(this); }
    Mark& operator=(const Mark&) = delete;
  };
  F call_;
  Mark mark_;
};

}  // namespace detail

// Runs `call` on `context`'s thread from its event loop: the way a worker
// reports to the main thread. The call must not outlive what it captures.
template <typename F>
void post(QObject* context, F call) {
  QMetaObject::invokeMethod(context, detail::Posted<F>(std::move(call)), Qt::QueuedConnection);
}

}  // namespace qh::Handover
