#include "net/chunk_pipe.h"

namespace qh {

ChunkPipe::ChunkPipe(size_t chunkSize, size_t chunks)
    : chunkSize_(chunkSize), memory_(new unsigned char[chunkSize * chunks]), sizes_(chunks, 0) {}

unsigned char* ChunkPipe::vacant() {
  std::unique_lock lock(mutex_);
  if (full_ == sizes_.size()) {
    fillerWaits_ = true;
    changed_.wait(lock, [&] { return stopped_ || full_ <= half(); });
    fillerWaits_ = false;
  }
  if (stopped_) return nullptr;
  return memory_.get() + (head_ + full_) % sizes_.size() * chunkSize_;
}

void ChunkPipe::publish(size_t size) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    sizes_[(head_ + full_) % sizes_.size()] = size;
    ++full_;
    if (!readerWaits_ || full_ < half()) return;
  }
  changed_.notify_all();
}

void ChunkPipe::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

void ChunkPipe::abandon(std::exception_ptr error) {
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    error_ = std::move(error);
  }
  changed_.notify_all();
}

std::span<const unsigned char> ChunkPipe::next() {
  std::unique_lock lock(mutex_);
  if (reading_) {
    reading_ = false;
    head_ = (head_ + 1) % sizes_.size();
    --full_;
    if (fillerWaits_ && full_ <= half()) changed_.notify_all();
  }
  if (full_ == 0 && !closed_ && !abandoned_) {
    readerWaits_ = true;
    changed_.wait(lock, [&] { return abandoned_ || full_ >= half() || closed_; });
    readerWaits_ = false;
  }
  if (abandoned_) {
    if (error_) std::rethrow_exception(error_);
    return {};
  }
  if (full_ == 0) return {};
  reading_ = true;
  return {memory_.get() + head_ * chunkSize_, sizes_[head_]};
}

void ChunkPipe::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

}  // namespace qh
