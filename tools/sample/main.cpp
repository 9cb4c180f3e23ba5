// qh-sample-client DIR [--megabytes N] [--files N] [--shaped GAME_EXE]
// qh-sample-client --runtime DIR [--stub]
// Writes a made-up client, or a runtime folder for it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/sample/sample_client.h"

namespace qh {

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: qh-sample-client DIR [--megabytes N] [--files N] [--shaped GAME_EXE]\n"
               "       qh-sample-client --runtime DIR [--stub]\n"
               "  --shaped GAME_EXE  a tree shaped like a real client around GAME_EXE;\n"
               "                     files already right are left alone\n"
               "  --runtime DIR      a runtime folder (its name is the id) over the system's\n"
               "                     Wine, or stand-in wine programs with --stub or without one\n");
  return 2;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  std::string dir, shaped, runtime;
  long megabytes = 20, files = 40;
  bool stub = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--megabytes" && i + 1 < argc) {
      megabytes = std::atol(argv[++i]);
    } else if (arg == "--files" && i + 1 < argc) {
      files = std::atol(argv[++i]);
    } else if (arg == "--shaped" && i + 1 < argc) {
      shaped = argv[++i];
    } else if (arg == "--runtime" && i + 1 < argc) {
      runtime = argv[++i];
    } else if (arg == "--stub") {
      stub = true;
    } else if (dir.empty() && !arg.starts_with("--")) {
      dir = arg;
    } else {
      return usage();
    }
  }
  try {
    if (!runtime.empty()) {
      if (!dir.empty()) return usage();
      const bool system = SampleClient::writeRuntime(runtime, stub);
      std::printf("wrote the runtime %s (%s)\n", runtime.c_str(),
                  system ? "the system's Wine" : "stand-in wine programs");
      return 0;
    }
    if (dir.empty() || megabytes < 0 || files < 1) return usage();
    const int64_t bytes = static_cast<int64_t>(megabytes) << 20;
    const auto rels =
        shaped.empty() ? SampleClient::generate(dir, bytes, static_cast<int>(files))
                       : SampleClient::generateShaped(dir, bytes, static_cast<int>(files), shaped);
    std::printf("wrote %zu files, about %ld MB, to %s\n", rels.size(), megabytes, dir.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-sample-client: %s\n", e.what());
    return 1;
  }
  return 0;
}
