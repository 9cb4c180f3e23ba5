// Runs blocking work on a worker thread and resumes the awaiting coroutine on
// its own (main) thread with the result, or with the exception the work threw.
#pragma once

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace detail {
template <typename R>
struct Outcome {
  std::optional<R> value;
  std::exception_ptr error;
};
template <>
struct Outcome<void> {
  std::exception_ptr error;
};

// Runs `work` where it is called and keeps its result or exception, so the
// awaiting side can rethrow it on its own thread.
template <typename F, typename R = std::invoke_result_t<F&>>
Outcome<R> capture(F& work) {
  Outcome<R> out;
  try {
    if constexpr (std::is_void_v<R>) {
      work();
    } else {
      out.value.emplace(work());
    }
  } catch (...) {
    out.error = std::current_exception();
  }
  return out;
}

// The value captured, or the exception rethrown.
template <typename R>
R release(Outcome<R>& out) {
  if (out.error) std::rethrow_exception(out.error);
  if constexpr (!std::is_void_v<R>) return std::move(*out.value);
}
}  // namespace detail

// `work` is moved to the worker; it must not touch main-thread state.
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> onWorker(F work) {
  auto future =
      QtConcurrent::run([work = std::move(work)]() mutable { return detail::capture(work); });
  detail::Outcome<R> out = co_await future;
  co_return detail::release(out);
}
