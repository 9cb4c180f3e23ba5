// The distribution server in memory: texts by the end of their URL's path,
// and an archive every download copies. Records every request.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/network.h"

namespace qh {

class FakeNetwork final : public Network {
 public:
  struct Fetch {
    std::string url;
    std::filesystem::path to;
    int64_t size;
    std::optional<std::string> sha256;
  };

  // What getString answers for a URL whose path ends in the key; any other
  // URL answers 404.
  std::map<std::string, std::string> texts;
  // Every getString URL, in order.
  std::vector<std::string> requested;
  // Copied to the destination of every fetch, after each of progressReports
  // was handed to its progress function.
  std::filesystem::path archiveSource;
  std::vector<int64_t> progressReports;
  std::vector<Fetch> fetches;

  QCoro::Task<std::string> getString(std::string url) override {
    requested.push_back(url);
    const std::string path = url.substr(0, url.find('?'));
    for (const auto& [end, text] : texts) {
      if (path.ends_with(end)) co_return text;
    }
    throw NetError::http(404, url);
  }

  QCoro::Task<> fetch(std::string url, std::filesystem::path to, int64_t expectedSize,
                      std::optional<std::string> sha256, Progress progress, Timing) override {
    fetches.push_back({url, to, expectedSize, sha256});
    for (int64_t r : progressReports) progress(r);
    std::filesystem::copy_file(archiveSource, to,
                               std::filesystem::copy_options::overwrite_existing);
    co_return;
  }
};

}  // namespace qh
