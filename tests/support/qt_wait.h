// Helpers to drive coroutines and queued calls to completion in tests.
#pragma once

#include <qcoro/qcorotask.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

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

// Awaits a task from plain test code.
template <typename T>
T runTask(QCoro::Task<T>&& task) {
  return QCoro::waitFor(std::move(task));
}
