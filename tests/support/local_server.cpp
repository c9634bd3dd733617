#include "support/local_server.h"

#include <chrono>
#include <stdexcept>

namespace pellora::testing {

LocalServer::LocalServer() : server_(std::make_unique<httplib::Server>()) {}

LocalServer::LocalServer(const std::string& certFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
      tls_(true) {
  if (!server_->is_valid()) throw std::runtime_error("TLS server could not load " + certFile);
}

LocalServer::~LocalServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void LocalServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("test server could not bind to 127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_->is_running() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string LocalServer::Url(std::string_view path) const {
  return std::string(tls_ ? "https://" : "http://") + HostPort() + std::string(path);
}

std::string LocalServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

}  // namespace pellora::testing
