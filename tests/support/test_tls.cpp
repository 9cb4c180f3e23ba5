#include "support/test_tls.h"

#include <stdexcept>

#include "platform/process.h"

namespace qh {

namespace {

const char* const openssl = "/usr/bin/openssl";

void run(const std::vector<std::string>& args) {
  Process::Request request{openssl, args};
  request.output = request.error = Process::Stream::nullDevice();
  if (Process::run(request) != 0) {
    std::string line = std::string(openssl) + " ";
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
