// The client part of qh-publish: validates every name, copies each file to
// the output while hashing it (one read per file, files spread over all
// cores), then writes the manifest and the version files.
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <set>
#include <thread>

#include "core/error.h"
#include "core/files.h"
#include "core/text.h"
#include "platform/system_error.h"
#include "tools/publish/block_maps.h"
#include "tools/publish/progress_bar.h"
#include "tools/publish/publish.h"
#include "update/install_tree.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// Small enough that a chunk is still in the processor's cache when the digest
// reads it after the copy out of the page cache.
constexpr size_t chunkSize = 1024 * 1024;

struct SourceFile {
  std::string rel;
  fs::path path;
  int64_t size = 0;
  std::string sha1;
};

bool within(const fs::path& p, const fs::path& root) {
  const std::string s = p.string(), r = root.string();
  return s == r || (s.size() > r.size() && s.compare(0, r.size(), r) == 0 && s[r.size()] == '/');
}

// Throws Error when the manifest cannot carry `rel`.
void checkName(const std::string& rel) {
  const auto refuse = [&](const std::string& why) {
    throw Error("cannot publish \"" + rel + "\": " + why);
  };
  if (!Text::isValidUtf8(rel)) refuse("the name is not valid UTF-8");
  for (const char* nl : {"\n", "\r", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
    if (rel.find(nl) != std::string::npos) refuse("the name contains a line break");
  }
  if (rel.find('\\') != std::string::npos) refuse("the name contains a backslash");
  if (Text::trimWhitespace("x" + rel) != "x" + rel) refuse("the name ends in white space");
  if (const auto p = SafePath::lexicalProblem(rel); p != SafePath::Problem::none) {
    refuse("the launcher would refuse it (" + std::string(SafePath::text(p)) + ")");
  }
}

class Walker {
 public:
  Walker(fs::path root, fs::path skip) : root_(std::move(root)), skip_(std::move(skip)) {}

  // Throws Error at the first name or file that cannot be published.
  void walk(const fs::path& dir, const std::string& prefix) {
    std::error_code ec;
    if (!visited_.insert(fs::canonical(dir, ec).string()).second) return;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      entries.push_back(*it);
    }
    if (ec) throw systemError("cannot list", dir, ec);
    for (const fs::directory_entry& e : entries) {
      const std::string name = e.path().filename().string();
      const std::string rel = prefix.empty() ? name : prefix + "/" + name;
      if (prefix.empty() && (name == ".qhversion" || name == ".qhmanifest")) continue;
      fs::path real = e.path();
      if (e.is_symlink(ec)) {
        real = fs::canonical(e.path(), ec);
        if (ec || !within(real, root_)) {
          throw Error("\"" + rel + "\" is a symbolic link that leads outside " + root_.string() +
                      " or nowhere");
        }
      }
      if (within(real, skip_)) continue;
      checkName(rel);
      if (fs::is_directory(real, ec)) {
        walk(real, rel);
      } else if (fs::is_regular_file(real, ec)) {
        if (prefix.empty() &&
            (name == "manifest.txt" || name == "version.txt" || name == "game_version.txt")) {
          throw Error("cannot publish \"" + rel + "\": the server's own " + name +
                      " has that name");
        }
        const auto size = fs::file_size(real, ec);
        if (ec) throw systemError("cannot read the size of", rel, ec);
        files.push_back({rel, real, static_cast<int64_t>(size), {}});
      }
    }
  }

  std::vector<SourceFile> files;

 private:
  fs::path root_, skip_;
  std::set<std::string> visited_;
};

std::string hex(const unsigned char* d, unsigned n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < n; ++i) {
    out += digits[d[i] >> 4];
    out += digits[d[i] & 15];
  }
  return out;
}

// Copies (or hard-links) `f` to `outDir`/rel through a temporary file and
// fills in its SHA-1. Throws naming the file and what failed.
void copyAndHash(SourceFile& f, const fs::path& outDir, bool link, std::vector<char>& buf,
                 std::atomic<int64_t>& bytesDone) {
  const fs::path dest = outDir / f.rel;
  std::error_code ec;
  fs::create_directories(dest.parent_path(), ec);
  std::string tmpName = dest.filename().string();
  tmpName.insert(0, 1, '.');
  tmpName += ".qhpublish";
  const fs::path tmp = dest.parent_path() / tmpName;
  ::unlink(tmp.c_str());
  const bool linked = link && ::link(f.path.c_str(), tmp.c_str()) == 0;
  // The first failure; the descriptors are closed and the temporary removed
  // before it is thrown.
  std::exception_ptr failure;
  // Generic, so that nothing is converted (or allocated) before errno is read.
  const auto failed = [&](std::string_view operation, const auto& subject) {
    const std::error_code err = lastSystemError();
    if (!failure) failure = std::make_exception_ptr(systemError(operation, subject, err));
  };
  const int in = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) failed("open", f.rel);
  const int out =
      linked || failure ? -1 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0 && !linked) failed("create", tmp);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr);
  int64_t total = 0;
  while (!failure) {
    const ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed("read", f.rel);
    if (n <= 0) break;
    EVP_DigestUpdate(ctx, buf.data(), static_cast<size_t>(n));
    for (ssize_t w = linked ? n : 0; w < n && !failure;) {
      const ssize_t k = ::write(out, buf.data() + w, static_cast<size_t>(n - w));
      if (k < 0 && errno != EINTR) failed("write", tmp);
      if (k > 0) w += k;
    }
    total += n;
    bytesDone += n;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  EVP_DigestFinal_ex(ctx, digest, &len);
  EVP_MD_CTX_free(ctx);
  if (in >= 0) ::close(in);
  if (out >= 0 && ::close(out) != 0) failed("write", tmp);
  if (!failure && total != f.size) {
    failure = std::make_exception_ptr(Error(f.rel + ": changed while being published"));
  }
  if (!failure && ::rename(tmp.c_str(), dest.c_str()) != 0) failed("rename to", dest);
  if (failure) {
    ::unlink(tmp.c_str());
    std::rethrow_exception(failure);
  }
  f.sha1 = hex(digest, len);
}

// Hashes and copies every file on all cores; the result does not depend on
// the number of threads because each file's digest is stored in its own slot.
// Throws the first failure of any file.
void copyAll(std::vector<SourceFile>& files, const PublishContext& context) {
  int64_t totalBytes = 0;
  for (const SourceFile& f : files) totalBytes += f.size;
  // Largest first, so one big file does not start last and run alone.
  std::vector<size_t> order(files.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return files[a].size > files[b].size; });
  std::atomic<size_t> next{0};
  std::atomic<int64_t> filesDone{0}, bytesDone{0};
  std::atomic<bool> stop{false};
  std::mutex errorMutex;
  std::exception_ptr firstError;
  const unsigned workers =
      context.jobs > 0 ? context.jobs : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      std::vector<char> buf(chunkSize);
      for (size_t i; !stop && (i = next++) < order.size();) {
        try {
          copyAndHash(files[order[i]], context.outDir, context.link, buf, bytesDone);
        } catch (...) {
          std::lock_guard lock(errorMutex);
          if (!firstError) firstError = std::current_exception();
          stop = true;
        }
        ++filesDone;
      }
    });
  }
  ProgressBar bar("published", static_cast<int64_t>(files.size()), totalBytes, context.terminal);
  for (int tick = 0; filesDone < static_cast<int64_t>(files.size()) && !stop; ++tick) {
    if (tick % 10 == 0) bar.draw(filesDone, bytesDone);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (std::thread& t : threads) t.join();
  if (firstError) std::rethrow_exception(firstError);
  bar.finish(filesDone, bytesDone);
}

}  // namespace

void publishClient(const PublishContext& context) {
  std::error_code ec;
  const fs::path root = fs::canonical(context.clientDir, ec);
  if (ec || !fs::is_directory(root)) throw Error(context.clientDir.string() + " is not a folder");
  if (context.version.empty() || Text::trimWhitespace(context.version) != context.version ||
      context.version.find('<') != std::string::npos) {
    throw Error("the version must be a non-empty text without surrounding white space or \"<\"");
  }
  fs::create_directories(context.outDir, ec);
  const fs::path out = fs::canonical(context.outDir, ec);
  if (ec) throw systemError("cannot create", context.outDir, ec);
  if (within(root, out)) throw Error("OUT_DIR must not contain CLIENT_DIR");
  Walker walker(root, out);
  walker.walk(root, "");
  std::vector<SourceFile>& files = walker.files;
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.rel < b.rel; });
  std::vector<PublishedFile> published;
  for (const SourceFile& f : files) published.push_back({f.rel, f.size, {}});
  checkBlockMapNames(published);
  copyAll(files, context);
  for (size_t i = 0; i < files.size(); ++i) published[i].sha1 = files[i].sha1;
  writeBlockMaps(published, out);
  std::string manifest;
  for (const SourceFile& f : files) {
    manifest += f.sha1 + "\t" + std::to_string(f.size) + "\t" + f.rel + "\n";
  }
  for (const auto& [name, bytes] : {std::pair<const char*, std::string>{"manifest.txt", manifest},
                                    {"version.txt", context.version + "\n"},
                                    {"game_version.txt", context.version + "\n"}}) {
    if (const std::error_code err = Files::writeAtomic(out / name, bytes)) {
      throw systemError("cannot write", out / name, err);
    }
  }
}

}  // namespace qh
