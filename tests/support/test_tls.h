// A self-signed certificate made at test time with /usr/bin/openssl, for
// HTTPS tests: the server's certificate and the authority to trust in one.
//
//   TestCertificates certs = TestCertificates::make(dir.path(), {"IP:127.0.0.1"});
//   TestServer server(certs.serverTls());
//   setenv("QH_CA_FILE", certs.caFile.c_str(), 1);   // trust it
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_server.h"

namespace qh {

struct TestCertificates {
  std::filesystem::path caFile;   // the certificate (PEM)
  std::filesystem::path keyFile;  // its private key (PEM)

  TestServer::Tls serverTls() const { return {caFile, keyFile}; }

  // Writes a fresh certificate for `subjectAltNames` ("IP:127.0.0.1",
  // "DNS:localhost") into `folder`. Throws std::runtime_error when openssl fails.
  static TestCertificates make(const std::filesystem::path& folder,
                               const std::vector<std::string>& subjectAltNames);
};

}  // namespace qh
