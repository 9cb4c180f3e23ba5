#include "net/network.h"

#include "net/downloader.h"
#include "net/net.h"

namespace qh {

QCoro::Task<std::string> RealNetwork::getString(std::string url) {
  return Net::getString(std::move(url));
}

QCoro::Task<> RealNetwork::fetch(std::string url, std::filesystem::path to, int64_t expectedSize,
                                 std::optional<std::string> sha256, Progress progress,
                                 Timing timing) {
  return Downloader::fetch({.url = std::move(url),
                            .target = std::move(to),
                            .expectedSize = expectedSize,
                            .sha256 = sha256.value_or(""),
                            .progress = std::move(progress),
                            .timing = std::move(timing)});
}

}  // namespace qh
