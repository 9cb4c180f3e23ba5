// Helpers to drive coroutines and queued calls to completion in tests.
#pragma once

#include <qcoro/qcorotask.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>

namespace qh {

// Runs the event loop until `done` holds or `timeoutMs` of real time passed.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs the queued events already posted.
inline void drainEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

namespace qt_wait_detail {
template <typename T>
struct Settled {
  std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
  std::exception_ptr error;
};
template <typename T>
QCoro::Task<Settled<T>> settle(QCoro::Task<T> task) {
  Settled<T> s;
  try {
    if constexpr (std::is_void_v<T>) {
      co_await task;
    } else {
      s.value = co_await task;
    }
  } catch (...) {
    s.error = std::current_exception();
  }
  co_return s;
}
}  // namespace qt_wait_detail

// Awaits a task from plain test code, rethrowing what it threw. (QCoro 0.8's
// waitFor never returns when the task throws, so the task is settled first.)
template <typename T>
T runTask(QCoro::Task<T>&& task) {
  auto s = QCoro::waitFor(qt_wait_detail::settle<T>(std::move(task)));
  if (s.error) std::rethrow_exception(s.error);
  if constexpr (!std::is_void_v<T>) return std::move(*s.value);
}

}  // namespace qh
