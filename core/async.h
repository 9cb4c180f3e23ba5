// The one way to leave the main thread and come back: blocking work handed
// off a coroutine's thread (it resumes on its own, main, thread with the
// result or with the exception the work threw), a report posted back to an
// object that may be gone by then, and a task started that nobody awaits.
#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <QCoreApplication>
#include <QFuture>
#include <QPointer>
#include <QPromise>
#include <QRunnable>
#include <QThreadPool>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "core/handover.h"
#include "core/own_threads.h"

namespace qh {

namespace detail {

// Work on a thread of its own may take the thread's stop token.
template <typename F>
decltype(auto) callWith(F& work, [[maybe_unused]] StopToken stop) {
  if constexpr (std::is_invocable_v<F&, StopToken>) {
    return work(std::move(stop));
  } else {
    return work();
  }
}

template <typename F>
using OwnThreadResult = decltype(callWith(std::declval<F&>(), StopToken()));

// One piece of work and its outcome. The awaiting thread keeps it until it
// resumes; the worker until it has finished the promise. The outcome is ours,
// not the future's, so its hand-over is marked where it happens.
template <typename F, typename R>
class Job {
 public:
  explicit Job(F work) : work_(std::in_place, std::move(work)) { promise_.start(); }

  QFuture<void> future() { return promise_.future(); }

  // On the worker.
  void run(StopToken stop = {}) {
    try {
      if constexpr (std::is_void_v<R>) {
        callWith(*work_, std::move(stop));
      } else {
        value_.emplace(callWith(*work_, std::move(stop)));
      }
    } catch (...) {
      error_ = std::current_exception();
    }
    // What the work holds (a list of a hundred thousand files) is freed here,
    // not on whichever thread drops the job last, which may be the main one.
    work_.reset();
    Handover::give(this);
    promise_.finish();
  }

  // On the awaiting thread, once the future finished.
  R result() {
    Handover::take(this);
    // The exception's count lives in the uninstrumented C++ runtime: every
    // reference to it stays on this thread, whichever thread drops the job.
    if (std::exception_ptr error = std::exchange(error_, nullptr)) std::rethrow_exception(error);
    if constexpr (!std::is_void_v<R>) return std::move(*value_);
  }

 private:
  std::optional<F> work_;
  QPromise<void> promise_;
  std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> value_{};
  std::exception_ptr error_;
};

// Hands a job to a pool thread. It is the job's only way in, so marking its
// own hand-over also hands over everything the job holds.
template <typename J>
class PoolStart final : public QRunnable {
 public:
  explicit PoolStart(std::shared_ptr<J> job) : job_(std::move(job)) {}
  void run() override {
    Handover::take(this);
    job_->run();
  }

 private:
  std::shared_ptr<J> job_;
};

}  // namespace detail

// Runs `work` on a pool thread. `work` is moved there; it must not touch
// main-thread state.
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> onWorker(F work) {
  auto job = std::make_shared<detail::Job<F, R>>(std::move(work));
  QFuture<void> done = job->future();
  auto* start = new detail::PoolStart<detail::Job<F, R>>(job);
  Handover::give(start);
  QThreadPool::globalInstance()->start(start);
  co_await done;
  co_return job->result();
}

// Runs `work` on a thread of its own (core/own_threads.h), not the shared
// pool, which a transfer lasting hours or a child that never exits must not
// occupy. Same contract as onWorker; `work` may take a StopToken, which
// is requested as the launcher quits.
template <typename F, typename R = detail::OwnThreadResult<F>>
QCoro::Task<R> onOwnThread(F work) {
  auto job = std::make_shared<detail::Job<F, R>>(std::move(work));
  QFuture<void> done = job->future();
  OwnThreads::start([job](StopToken stop) { job->run(std::move(stop)); });
  co_await done;
  co_return job->result();
}

// Runs `call(*target)` on the main thread from its event loop, unless `target`
// is gone by then: the way a worker reports to a main-thread object that may
// be destroyed first. Any thread; `target` lives on the main thread. The
// pointer is only read there, so a report racing the object's destruction is
// harmless.
template <typename T, typename F>
void postIfAlive(QPointer<T> target, F call) {
  Handover::post(QCoreApplication::instance(),
                 [target = std::move(target), call = std::move(call)]() mutable {
                   if (T* object = target.data()) call(*object);
                 });
}

// Lets `task` run to its end with nobody awaiting it. What escapes it is
// logged as "<what> failed: <exception text>": a task nobody awaits would
// otherwise drop its exception unseen. Main thread.
void startDetached(QCoro::Task<> task, std::string what);

}  // namespace qh
