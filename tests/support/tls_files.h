// Certificates for TLS tests, made once per process with the openssl command
// line: a CA, a server certificate for 127.0.0.1 and localhost signed by it,
// and a self-signed "rogue" certificate for the same names that no client
// trusts. Clients trust `caCert` explicitly.
#pragma once

#include <string>

namespace pellora::testing {

struct TlsFiles {
  std::string caCert;      // PEM, the CA to trust
  std::string serverCert;  // PEM, signed by the CA
  std::string serverKey;
  std::string rogueCert;   // PEM, self-signed, not trusted
  std::string rogueKey;
};

// The files, made on the first call (thread-safe). Throws std::runtime_error
// when openssl fails.
[[nodiscard]] const TlsFiles& TestTlsFiles();

}  // namespace pellora::testing
