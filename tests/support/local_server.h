// A cpp-httplib server for tests, listening on 127.0.0.1 on a free port and
// running on a thread of its own. Register handlers on Http() first, then
// Start(); the destructor stops the server and joins its thread.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace pellora::testing {

class LocalServer {
 public:
  // Plain HTTP.
  LocalServer();
  // HTTPS with the given certificate and key files (PEM).
  LocalServer(const std::string& certFile, const std::string& keyFile);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  [[nodiscard]] httplib::Server& Http() { return *server_; }

  // Binds, starts the listening thread and returns once it accepts
  // connections. Throws std::runtime_error when it cannot bind.
  void Start();

  [[nodiscard]] int Port() const { return port_; }
  // "http://127.0.0.1:<port>" + path (or https:// for a TLS server).
  [[nodiscard]] std::string Url(std::string_view path = "/") const;
  // "127.0.0.1:<port>".
  [[nodiscard]] std::string HostPort() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace pellora::testing
