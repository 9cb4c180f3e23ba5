#include "support/test_tls.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace qh {

namespace {

const char* const openssl = "/usr/bin/openssl";

void run(std::vector<std::string> args) {
  args.insert(args.begin(), openssl);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(openssl, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string line;
    for (const auto& a : args) line += a + " ";
    throw std::runtime_error("failed: " + line);
  }
}

}  // namespace

TestCertificates TestCertificates::make(const std::filesystem::path& folder,
                                        const std::vector<std::string>& subjectAltNames) {
  const std::string cert = (folder / "server.pem").string(), key = (folder / "server.key").string();
  std::string names;
  for (const auto& n : subjectAltNames) names += (names.empty() ? "" : ",") + n;
  run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
       "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=Quellhaven Test Server", "-addext",
       "subjectAltName=" + names});
  return TestCertificates{cert, key};
}

}  // namespace qh
