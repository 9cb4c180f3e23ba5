// Runs blocking work on a thread of its own (not the shared pool, which a
// transfer lasting hours must not occupy) and resumes the awaiting coroutine
// on its own thread with the result or the exception the work threw.
#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <QFuture>
#include <QPromise>
#include <thread>

#include "core/async.h"

// `work` is moved to the new thread; it must not touch main-thread state.
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> onOwnThread(F work) {
  QPromise<detail::Outcome<R>> promise;
  QFuture<detail::Outcome<R>> future = promise.future();
  promise.start();
  std::thread([promise = std::move(promise), work = std::move(work)]() mutable {
    detail::Outcome<R> out;
    try {
      if constexpr (std::is_void_v<R>) {
        work();
      } else {
        out.value.emplace(work());
      }
    } catch (...) {
      out.error = std::current_exception();
    }
    promise.addResult(std::move(out));
    promise.finish();
  }).detach();
  detail::Outcome<R> out = co_await future;
  if (out.error) std::rethrow_exception(out.error);
  if constexpr (!std::is_void_v<R>) co_return std::move(*out.value);
}
