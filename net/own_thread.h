// Runs blocking work on a thread of its own (not the shared pool, which a
// transfer lasting hours must not occupy) and resumes the awaiting coroutine
// on its own thread with the result or the exception the work threw.
#pragma once

#include <memory>
#include <thread>

#include "core/async.h"

// `work` is moved to the new thread; it must not touch main-thread state.
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> onOwnThread(F work) {
  auto job = std::make_shared<detail::Job<F, R>>(std::move(work));
  QFuture<void> done = job->future();
  std::thread([job] { job->run(); }).detach();
  co_await done;
  co_return job->result();
}
