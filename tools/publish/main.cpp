// qh-publish CLIENT_DIR OUT_DIR --version TEXT [more flags, see --help]
// qh-publish keygen KEY.pem
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include <exception>

#include "core/files.h"
#include "tools/publish/publish.h"
#include "tools/publish/release_signing.h"

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
  std::fprintf(out,
               " [--platform mac|linux] [--jobs N] [--link] [--sign-key KEY.pem]...\n"
               "       qh-publish keygen KEY.pem\n"
               "  --version TEXT  the client version written to version.txt\n");
  std::fprintf(out,
               "  --platform mac|linux  whose runtime and launcher --runtime and --launcher are\n"
               "          (default mac); each platform has its own folder in OUT_DIR, so\n"
               "          publishing once for each fills one tree for both\n");
  std::fprintf(out, "  --jobs N  hashing threads (default: one per core)\n");
  std::fprintf(out,
               "  --link  hard-link files into OUT_DIR instead of copying them (where possible);\n"
               "          never edit client files in place after publishing with it\n");
  for (const PublishFlag& f : publishFlags()) {
    std::fprintf(out, "  %s %s  %s\n", f.name.c_str(), f.valueName.c_str(), f.help.c_str());
  }
  std::fprintf(
      out,
      "  --sign-key KEY.pem  sign manifest.txt and each platform's runtime.txt and launcher\n"
      "          archive with this Ed25519 private key (*.sig beside each); give it again for\n"
      "          each further key, as when one is rotated out\n"
      "  keygen KEY.pem  write a new Ed25519 private key (readable by you only) and\n"
      "          print its public key, for QH_RELEASE_KEYS\n");
}

// Writes a fresh private key to `file` (never over an existing one) and its
// public key to standard output.
int keygen(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) {
    std::fprintf(stderr, "qh-publish: %s exists; a key is never overwritten\n", file.c_str());
    return 1;
  }
  try {
    const auto key = ReleaseSigning::SigningKey::generate();
    // The private key is readable by its owner only from its first byte on.
    ::umask(077);
    if (const auto err = Files::writeAtomic(file, key.privatePem())) {
      std::fprintf(stderr, "qh-publish: cannot write %s: %s\n", file.c_str(),
                   err.message().c_str());
      return 1;
    }
    std::fputs(key.publicPem().c_str(), stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-publish: %s\n", e.what());
    return 1;
  }
  return 0;
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
  if (argc >= 2 && std::string(argv[1]) == "keygen") {
    if (argc != 3) {
      usage(stderr);
      return 2;
    }
    return keygen(argv[2]);
  }
  PublishContext context;
  std::vector<std::string> signKeys;
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
    } else if (arg == "--sign-key" && i + 1 < argc) {
      signKeys.push_back(argv[++i]);
    } else if (arg == "--platform" && i + 1 < argc) {
      const auto os = osFromFolder(argv[++i]);
      if (!os) {
        std::fprintf(stderr, "qh-publish: --platform is mac or linux, not \"%s\"\n", argv[i]);
        return 2;
      }
      context.os = *os;
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
    // A key that cannot sign stops the tool before anything is published.
    std::vector<ReleaseSigning::SigningKey> keys;
    for (const std::string& file : signKeys) keys.push_back(ReleaseSigning::SigningKey::load(file));
    publishClient(context);
    for (const PublishFlag& flag : publishFlags()) {
      const auto it = given.find(flag.name);
      if (it != given.end()) flag.run(context, it->second);
    }
    // Last, over what every step wrote.
    if (!keys.empty()) {
      for (const std::string& rel : ReleaseSigning::signPublished(context.outDir, keys)) {
        std::fprintf(stderr, "signed %s with %zu key(s)\n", rel.c_str(), keys.size());
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-publish: %s\n", e.what());
    return 1;
  }
  return 0;
}
