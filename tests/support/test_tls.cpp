#include "support/test_tls.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

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
  const auto f = [&](const char* name) { return (folder / name).string(); };
  TestCertificates c{f("ca.pem"), f("server.pem"), f("server.key")};
  const std::vector<std::string> ecKey = {"-newkey", "ec", "-pkeyopt",
                                          "ec_paramgen_curve:prime256v1", "-nodes"};
  std::vector<std::string> ca = {"req", "-x509"};
  ca.insert(ca.end(), ecKey.begin(), ecKey.end());
  ca.insert(ca.end(), {"-keyout", f("ca.key"), "-out", c.caFile.string(), "-days", "2", "-subj",
                       "/CN=Quellhaven Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                       "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
  run(ca);
  std::vector<std::string> csr = {"req"};
  csr.insert(csr.end(), ecKey.begin(), ecKey.end());
  csr.insert(csr.end(), {"-keyout", c.keyFile.string(), "-out", f("server.csr"), "-subj",
                         "/CN=Quellhaven Test Server"});
  run(csr);
  std::string names;
  for (const auto& n : subjectAltNames) names += (names.empty() ? "" : ",") + n;
  std::ofstream(f("server.ext")) << "subjectAltName=" << names << "\n"
                                 << "basicConstraints=CA:FALSE\n"
                                 << "extendedKeyUsage=serverAuth\n";
  run({"x509", "-req", "-in", f("server.csr"), "-CA", c.caFile.string(), "-CAkey", f("ca.key"),
       "-CAcreateserial", "-out", c.certificateFile.string(), "-days", "2", "-extfile",
       f("server.ext")});
  return c;
}
