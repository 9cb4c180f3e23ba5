// qh-sample-client DIR [--megabytes N] [--files N]: writes a made-up client.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/sample/sample_client.h"

int main(int argc, char** argv) {
  std::string dir;
  long megabytes = 20, files = 40;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--megabytes" && i + 1 < argc) {
      megabytes = std::atol(argv[++i]);
    } else if (arg == "--files" && i + 1 < argc) {
      files = std::atol(argv[++i]);
    } else if (dir.empty() && !arg.starts_with("--")) {
      dir = arg;
    } else {
      dir.clear();
      break;
    }
  }
  if (dir.empty() || megabytes < 0 || files < 1) {
    std::fprintf(stderr, "usage: qh-sample-client DIR [--megabytes N] [--files N]\n");
    return 2;
  }
  try {
    const auto rels =
        SampleClient::generate(dir, static_cast<int64_t>(megabytes) << 20, static_cast<int>(files));
    std::printf("wrote %zu files, about %ld MB, to %s\n", rels.size(), megabytes, dir.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-sample-client: %s\n", e.what());
    return 1;
  }
  return 0;
}
