#include "net/download_seams.h"

#include <mutex>
#include <utility>

namespace qh {

namespace {

std::mutex mutex;
std::shared_ptr<const DownloadSeams> inForce;

}  // namespace

std::shared_ptr<const DownloadSeams> DownloadSeams::current() {
  std::lock_guard lock(mutex);
  return inForce;
}

DownloadSeams::Scope::Scope(DownloadSeams seams) {
  auto next = std::make_shared<const DownloadSeams>(std::move(seams));
  std::lock_guard lock(mutex);
  previous_ = std::exchange(inForce, std::move(next));
}

DownloadSeams::Scope::~Scope() {
  std::lock_guard lock(mutex);
  inForce = std::move(previous_);
}

}  // namespace qh
