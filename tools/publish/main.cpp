// qh-publish CLIENT_DIR OUT_DIR --version TEXT [more flags, see --help]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include <exception>

#include "tools/publish/publish.h"

namespace qh {

namespace {

std::vector<PublishFlag>& registry() {
  static std::vector<PublishFlag> flags;
  return flags;
}

void usage(FILE* out) {
  std::fprintf(out, "usage: qh-publish CLIENT_DIR OUT_DIR --version TEXT");
  for (const PublishFlag& f : publishFlags()) {
    std::fprintf(out, " [%s %s]", f.name.c_str(), f.valueName.c_str());
  }
  std::fprintf(
      out, " [--jobs N] [--link]\n  --version TEXT  the client version written to version.txt\n");
  std::fprintf(out, "  --jobs N  hashing threads (default: one per core)\n");
  std::fprintf(out,
               "  --link  hard-link files into OUT_DIR instead of copying them (where possible);\n"
               "          never edit client files in place after publishing with it\n");
  for (const PublishFlag& f : publishFlags()) {
    std::fprintf(out, "  %s %s  %s\n", f.name.c_str(), f.valueName.c_str(), f.help.c_str());
  }
}

const PublishFlag* findFlag(const std::string& name) {
  for (const PublishFlag& f : publishFlags()) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

}  // namespace

bool registerPublishFlag(PublishFlag flag) {
  registry().push_back(std::move(flag));
  return true;
}

const std::vector<PublishFlag>& publishFlags() {
  return registry();
}

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  PublishContext context;
  std::vector<std::string> positional;
  std::map<std::string, std::string> given;
  bool haveVersion = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if (arg == "--version" && i + 1 < argc) {
      context.version = argv[++i];
      haveVersion = true;
    } else if (arg == "--link") {
      context.link = true;
    } else if (arg == "--jobs" && i + 1 < argc) {
      const int jobs = std::atoi(argv[++i]);
      if (jobs < 1) {
        usage(stderr);
        return 2;
      }
      context.jobs = static_cast<unsigned>(jobs);
    } else if (const PublishFlag* flag = findFlag(arg); flag && i + 1 < argc) {
      given[flag->name] = argv[++i];
    } else if (!arg.starts_with("--")) {
      positional.push_back(arg);
    } else {
      std::fprintf(stderr, "qh-publish: unknown or incomplete option %s\n", arg.c_str());
      usage(stderr);
      return 2;
    }
  }
  if (positional.size() != 2 || !haveVersion) {
    usage(stderr);
    return 2;
  }
  context.clientDir = positional[0];
  context.outDir = positional[1];
  context.terminal = ::isatty(STDERR_FILENO) == 1;
  try {
    publishClient(context);
    for (const PublishFlag& flag : publishFlags()) {
      const auto it = given.find(flag.name);
      if (it != given.end()) flag.run(context, it->second);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-publish: %s\n", e.what());
    return 1;
  }
  return 0;
}
