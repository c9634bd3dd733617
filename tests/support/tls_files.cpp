// POSIX only: runs the openssl command through a POSIX shell (>/dev/null).
#include "support/tls_files.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "support/temp_dir.h"

namespace pellora::testing {

namespace {

void Run(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
    throw std::runtime_error("command failed: " + command);
  }
}

TlsFiles MakeFiles(const TempDir& dir) {
  TlsFiles f;
  f.caCert = dir.File("ca.pem");
  const std::string caKey = dir.File("ca.key");
  f.serverCert = dir.File("server.pem");
  f.serverKey = dir.File("server.key");
  f.rogueCert = dir.File("rogue.pem");
  f.rogueKey = dir.File("rogue.key");
  const std::string csr = dir.File("server.csr");
  const std::string ext = dir.File("server.ext");
  {
    std::ofstream out(ext);
    out << "basicConstraints=CA:FALSE\n"
           "keyUsage=digitalSignature,keyEncipherment\n"
           "extendedKeyUsage=serverAuth\n"
           "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
  }
  Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=PelloraTestCA"
      " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign"
      " -keyout " + caKey + " -out " + f.caCert);
  Run("openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + f.serverKey +
      " -out " + csr);
  Run("openssl x509 -req -in " + csr + " -CA " + f.caCert + " -CAkey " + caKey +
      " -CAcreateserial -days 2 -extfile " + ext + " -out " + f.serverCert);
  Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout " + f.rogueKey +
      " -out " + f.rogueCert);
  return f;
}

}  // namespace

const TlsFiles& TestTlsFiles() {
  static std::once_flag once;
  // Kept for the whole run: servers and clients read the files at any time.
  static std::unique_ptr<TempDir> dir;
  static TlsFiles files;
  std::call_once(once, [] {
    dir = std::make_unique<TempDir>("pellora-tls");
    files = MakeFiles(*dir);
  });
  return files;
}

}  // namespace pellora::testing
