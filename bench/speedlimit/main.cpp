// 20-second transfers from a private nginx at the "2 MB/s" and "512 KB/s"
// steps: the achieved rate against the limit.
// Last line: "ratio: X", the achieved/limit ratio farthest from 1 of the two.
#include <QCoreApplication>
#include <cmath>
#include <cstdio>

#include "bench/common/bench_support.h"
#include "net/downloader.h"
#include "net/speed_limit.h"

namespace qh {

namespace {

std::string fileName(int step) {
  std::string name = "step";
  name += std::to_string(step);
  name += ".bin";
  return name;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  bench::Scratch scratch;
  bench::isolateHome(scratch.path() / "home");
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Bench");

  constexpr double seconds = 20.0;
  const int stepsToTry[] = {2, 4};
  for (const int step : stepsToTry) {
    const auto size = static_cast<uint64_t>(SpeedLimit::steps[step] * seconds);
    bench::writeFile(scratch.path() / "www" / fileName(step), size);
  }
  bench::Nginx nginx(scratch.path() / "www", scratch.path() / "nginx");

  double worst = 1.0;
  for (const int step : stepsToTry) {
    SpeedLimit::store(step);
    const std::string name = fileName(step);
    const auto limit = static_cast<double>(SpeedLimit::steps[step]);
    const double start = bench::now();
    Downloader::fetchBlocking({.url = nginx.url("/" + name),
                               .target = scratch.path() / "out" / name,
                               .expectedSize = static_cast<int64_t>(limit * seconds)});
    const double elapsed = bench::now() - start;
    const double ratio = limit * seconds / elapsed / limit;
    std::printf("%-9s achieved %.0f B/s in %.2f s, limit %.0f B/s: %.3f\n",
                SpeedLimit::labels()[step].c_str(), limit * seconds / elapsed, elapsed, limit,
                ratio);
    if (std::abs(ratio - 1.0) > std::abs(worst - 1.0)) worst = ratio;
  }
  std::printf("ratio: %.3f\n", worst);
  return 0;
}
