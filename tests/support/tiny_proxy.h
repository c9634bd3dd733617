// POSIX only: uses pid_t.
// A tinyproxy (Debian's /usr/bin/tinyproxy) started for a test on a free
// 127.0.0.1 port with a configuration file it writes, stopped when the
// object goes. Tests skip themselves when tinyproxy is not installed.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace pellora::testing {

class TempDir;

class TinyProxy {
 public:
  static constexpr const char* kBinary = "/usr/bin/tinyproxy";

  // True when the binary exists and is executable.
  [[nodiscard]] static bool Available();

  // Starts the proxy and waits up to 5 seconds until it accepts connections;
  // Running() tells whether that worked.
  TinyProxy();
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  [[nodiscard]] bool Running() const { return running_; }
  [[nodiscard]] int Port() const { return port_; }
  // "127.0.0.1:<port>".
  [[nodiscard]] std::string HostPort() const;

 private:
  std::unique_ptr<TempDir> dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool running_ = false;
};

// A port on 127.0.0.1 that was free a moment ago.
[[nodiscard]] int FreeLoopbackPort();

// True when something accepts TCP connections on 127.0.0.1:port.
[[nodiscard]] bool LoopbackAccepts(int port);

}  // namespace pellora::testing
