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
    promise.addResult(detail::capture(work));
    promise.finish();
  }).detach();
  detail::Outcome<R> out = co_await future;
  co_return detail::release(out);
}
