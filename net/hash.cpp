#include "net/hash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

#include "core/quitting.h"
#include "net/chunk_pipe.h"
#include "net/crypto_library.h"
#include "platform/joining_thread.h"
#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace qh::Hash {
namespace {

struct MdFree {
  void operator()(EVP_MD_CTX* ctx) const { CryptoLibrary::get().mdCtxFree(ctx); }
};

// Reads up to `size` bytes into `buffer`, fewer only at the end of the file.
size_t fill(int fd, const std::filesystem::path& file, unsigned char* buffer, size_t size) {
  size_t filled = 0;
  while (filled < size) {
    // Before every read, not every chunk: a chunk's reads may wait long on
    // a slow disk, and quitting must not wait with them.
    if (Quitting::now()) {
      throw systemError("quitting while reading", file,
                        std::make_error_code(std::errc::operation_canceled));
    }
    const ssize_t n = ::read(fd, buffer + filled, size - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw systemError("read", file, lastSystemError());
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  return filled;
}

std::string digest(Algorithm algorithm, const std::filesystem::path& file) {
  Digest d(algorithm);
  stream(file, [&](const unsigned char* data, size_t size) { d.update(data, size); });
  return d.hex();
}

}  // namespace

struct Digest::State {
  const CryptoLibrary& crypto;
  const EVP_MD* md;
  std::unique_ptr<EVP_MD_CTX, MdFree> ctx;
};

Digest::Digest(Algorithm algorithm) {
  const CryptoLibrary& crypto = CryptoLibrary::get();
  const EVP_MD* md = algorithm == Algorithm::sha1 ? crypto.sha1() : crypto.sha256();
  state_.reset(new State{crypto, md, std::unique_ptr<EVP_MD_CTX, MdFree>(crypto.mdCtxNew())});
  if (!state_->ctx || crypto.digestInit(state_->ctx.get(), md, nullptr) != 1) {
    throw std::bad_alloc();
  }
}

Digest::~Digest() = default;
Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;

void Digest::update(const unsigned char* data, size_t size) {
  state_->crypto.digestUpdate(state_->ctx.get(), data, size);
}

std::string Digest::hex() {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  state_->crypto.digestFinal(state_->ctx.get(), out, &length);
  state_->crypto.digestInit(state_->ctx.get(), state_->md, nullptr);
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    text += digits[out[i] >> 4];
    text += digits[out[i] & 0xF];
  }
  return text;
}

void stream(const std::filesystem::path& file,
            const std::function<void(const unsigned char*, size_t)>& update) {
  const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throw systemError("open", file, lastSystemError());
  Platform::adviseSequentialRead(fd.get());
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size <= static_cast<off_t>(aloneUpTo)) {
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[chunkSize]);
    for (size_t n = chunkSize; n == chunkSize;) {
      n = fill(fd.get(), file, buffer.get(), chunkSize);
      if (n > 0) update(buffer.get(), n);
    }
    return;
  }
  ChunkPipe pipe(chunkSize, pipeChunks);
  const JoiningThread reader(std::thread([&pipe, &file, fd = fd.get()] {
    try {
      for (unsigned char* buffer; (buffer = pipe.vacant());) {
        const size_t n = fill(fd, file, buffer, chunkSize);
        if (n > 0) pipe.publish(n);
        if (n < chunkSize) break;
      }
      pipe.close();
    } catch (...) {
      pipe.abandon(std::current_exception());
    }
  }));
  try {
    for (auto chunk = pipe.next(); !chunk.empty(); chunk = pipe.next()) {
      update(chunk.data(), chunk.size());
    }
  } catch (...) {
    pipe.stop();
    throw;
  }
}

std::string sha1(const std::filesystem::path& file) {
  return digest(Algorithm::sha1, file);
}

std::string sha256(const std::filesystem::path& file) {
  return digest(Algorithm::sha256, file);
}

}  // namespace qh::Hash
