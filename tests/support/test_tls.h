// Certificates made at test time with /usr/bin/openssl, for HTTPS tests:
// a certificate authority and a server certificate it signed.
//
//   TestCertificates certs = TestCertificates::make(dir.path(), {"IP:127.0.0.1"});
//   TestServer server(certs.serverTls());
//   setenv("QH_CA_FILE", certs.caFile.c_str(), 1);   // trust the test authority
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_server.h"

struct TestCertificates {
  std::filesystem::path caFile;           // the authority's certificate (PEM)
  std::filesystem::path certificateFile;  // the server's certificate (PEM)
  std::filesystem::path keyFile;          // the server's private key (PEM)

  TestServer::Tls serverTls() const { return {certificateFile, keyFile}; }

  // Writes a fresh authority and a server certificate for `subjectAltNames`
  // ("IP:127.0.0.1", "DNS:localhost") into `folder`. Throws std::runtime_error
  // when openssl fails.
  static TestCertificates make(const std::filesystem::path& folder,
                               const std::vector<std::string>& subjectAltNames);
};
