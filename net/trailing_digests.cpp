#include "net/trailing_digests.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace qh {

TrailingDigests::TrailingDigests(const std::vector<Hash::Algorithm>& algorithms) {
  for (const Hash::Algorithm a : algorithms) digests_.emplace_back(a);
}

TrailingDigests::~TrailingDigests() {
  if (pipe_) pipe_->abandon(nullptr);
  hasher_.join();
}

void TrailingDigests::prefix(const std::filesystem::path& file) {
  if (digests_.empty()) return;
  Hash::stream(file, [&](const unsigned char* data, size_t size) {
    for (Hash::Digest& d : digests_) d.update(data, size);
  });
}

void TrailingDigests::update(const unsigned char* data, size_t size) {
  if (digests_.empty()) return;
  if (!pipe_ && handed_ + size <= Hash::aloneUpTo) {
    handed_ += size;
    for (Hash::Digest& d : digests_) d.update(data, size);
    return;
  }
  if (!pipe_) startHashing();
  while (size > 0) {
    // The hasher never stops on its own, so a chunk always comes.
    if (!chunk_) chunk_ = pipe_->vacant();
    const size_t n = std::min(size, pipe_->chunkSize() - filled_);
    std::memcpy(chunk_ + filled_, data, n);
    filled_ += n;
    data += n;
    size -= n;
    if (filled_ == pipe_->chunkSize()) publish();
  }
}

std::vector<std::string> TrailingDigests::hex() {
  if (pipe_) {
    if (chunk_) publish();
    pipe_->close();
    hasher_.join();
  }
  std::vector<std::string> out;
  for (Hash::Digest& d : digests_) out.push_back(d.hex());
  return out;
}

void TrailingDigests::startHashing() {
  pipe_.emplace(Hash::chunkSize, Hash::pipeChunks);
  // The digests pass to the hasher here and are the caller's again after
  // the join in hex().
  hasher_ = JoiningThread(std::thread([this] {
    for (auto chunk = pipe_->next(); !chunk.empty(); chunk = pipe_->next()) {
      for (Hash::Digest& d : digests_) d.update(chunk.data(), chunk.size());
    }
  }));
}

void TrailingDigests::publish() {
  pipe_->publish(filled_);
  chunk_ = nullptr;
  filled_ = 0;
}

}  // namespace qh
