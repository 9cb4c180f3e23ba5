// The real network behind Runtime.
#include "compat/runtime.h"
#include "net/downloader.h"
#include "net/net.h"

namespace qh {

Runtime::Network Runtime::Network::standard() {
  Network network;
  network.getString = [](std::string url) { return Net::getString(std::move(url)); };
  network.fetch = [](std::string url, std::filesystem::path to, int64_t expectedSize,
                     std::optional<std::string> sha256, Progress progress, Timing timing) {
    return Downloader::fetch({.url = std::move(url),
                              .target = std::move(to),
                              .expectedSize = expectedSize,
                              .sha256 = sha256.value_or(""),
                              .progress = std::move(progress),
                              .timing = std::move(timing)});
  };
  return network;
}

}  // namespace qh
