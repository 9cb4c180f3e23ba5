// The requests the launcher's flows make of the distribution server, as a
// seam: RealNetwork is Net and Downloader over the wire, tests hand in a fake.
// Thread-safety: call and await on the main thread.
#pragma once

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/timing.h"

namespace qh {

class Network {
 public:
  // Bytes of the file present so far; called on the transfer's own thread.
  using Progress = std::function<void(int64_t bytesPresent)>;

  virtual ~Network() = default;

  // The body of a GET of `url`. Throws NetError for a refused request and
  // TransportError for connection, time-out and TLS failures.
  virtual QCoro::Task<std::string> getString(std::string url) = 0;

  // Downloads `url` into `to`, checked against `expectedSize` (< 0: unknown)
  // and `sha256` when given. Throws what Downloader::fetch throws.
  virtual QCoro::Task<> fetch(std::string url, std::filesystem::path to, int64_t expectedSize,
                              std::optional<std::string> sha256, Progress progress,
                              Timing timing) = 0;
};

class RealNetwork final : public Network {
 public:
  QCoro::Task<std::string> getString(std::string url) override;
  QCoro::Task<> fetch(std::string url, std::filesystem::path to, int64_t expectedSize,
                      std::optional<std::string> sha256, Progress progress, Timing timing) override;
};

}  // namespace qh
