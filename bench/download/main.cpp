// One 1 GiB file from a private nginx on 127.0.0.1: Downloader against
// `curl -o` of the same URL in the same run.
// Last line: "ratio: X", our throughput divided by curl's.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>

#include "bench/common/bench_support.h"
#include "net/downloader.h"

namespace qh {

namespace {

constexpr int64_t fileSize = int64_t{1} << 30;

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  bench::Scratch scratch;
  bench::isolateHome(scratch.path() / "home");  // no stored speed step: unlimited
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Bench");

  bench::writeFile(scratch.path() / "www/client.bin", fileSize);
  bench::warm(scratch.path() / "www/client.bin");
  bench::Nginx nginx(scratch.path() / "www", scratch.path() / "nginx");
  const std::string url = nginx.url("/client.bin");
  const auto ourFile = scratch.path() / "ours/client.bin";
  const auto curlFile = scratch.path() / "curl.bin";

  // curl first, so the served file is as warm for us as for it.
  double start = bench::now();
  if (bench::run({"/usr/bin/curl", "-s", "-f", "-o", curlFile.string(), url}) != 0) {
    std::fprintf(stderr, "curl failed\n");
    return 1;
  }
  const double curlSeconds = bench::now() - start;
  std::filesystem::remove(curlFile);

  start = bench::now();
  Downloader::fetchBlocking({.url = url, .target = ourFile, .expectedSize = fileSize});
  const double ourSeconds = bench::now() - start;

  std::printf("curl -o      %.0f MB/s\n", fileSize / curlSeconds / 1e6);
  std::printf("Downloader   %.0f MB/s\n", fileSize / ourSeconds / 1e6);
  std::printf("peak RSS: %.1f MiB\n", bench::peakRssMiB());
  std::printf("ratio: %.3f\n", curlSeconds / ourSeconds);
  return 0;
}
