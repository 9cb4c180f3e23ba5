// qh-serve DIR [--port N] [--bind ADDRESS]: serves DIR over HTTP until killed
// and prints the URL it serves at as its first line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/serve/static_server.h"

namespace qh {

namespace {

int usage() {
  std::fprintf(stderr, "usage: qh-serve DIR [--port N] [--bind 127.0.0.1]\n");
  return 2;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  std::string dir, host = "127.0.0.1";
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const long p = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || p < 0 || p > 65535) return usage();
      port = static_cast<int>(p);
    } else if (arg == "--bind" && i + 1 < argc) {
      host = argv[++i];
    } else if (dir.empty() && !arg.starts_with("--")) {
      dir = arg;
    } else {
      return usage();
    }
  }
  std::error_code ec;
  if (dir.empty()) return usage();
  if (!std::filesystem::is_directory(dir, ec)) {
    std::fprintf(stderr, "qh-serve: %s is not a folder\n", dir.c_str());
    return 1;
  }
  StaticServer server(dir);
  if (server.bind(host, port) < 0) {
    std::fprintf(stderr, "qh-serve: cannot listen on %s:%d\n", host.c_str(), port);
    return 1;
  }
  std::printf("%s\n", server.url().c_str());
  std::fflush(stdout);
  return server.listen() ? 0 : 1;
}
