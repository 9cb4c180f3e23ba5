#include "core/async.h"

#include "core/log.h"

namespace qh {

namespace {

QCoro::Task<> logEscapes(QCoro::Task<> task, std::string what) {
  try {
    co_await task;
  } catch (const std::exception& e) {
    Log::line(what + " failed: " + e.what());
  } catch (...) {
    Log::line(what + " failed: unknown exception");
  }
}

}  // namespace

void startDetached(QCoro::Task<> task, std::string what) {
  // Eager: it runs to its first suspension here and frees itself at its end.
  logEscapes(std::move(task), std::move(what));
}

}  // namespace qh
