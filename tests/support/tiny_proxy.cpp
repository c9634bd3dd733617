// POSIX only: uses BSD sockets (SOCK_CLOEXEC: Linux and the BSDs), posix_spawn and signals.
#include "support/tiny_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace pellora::testing {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return addr;
}

}  // namespace

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  close(fd);
  return port;
}

bool LoopbackAccepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in addr = Loopback(port);
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

bool TinyProxy::Available() { return access(kBinary, X_OK) == 0; }

TinyProxy::TinyProxy() : dir_(std::make_unique<TempDir>("pellora-proxy")) {
  if (!Available()) return;
  port_ = FreeLoopbackPort();
  const std::string config = dir_->File("tinyproxy.conf");
  {
    std::ofstream out(config);
    out << "Port " << port_ << "\n"
        << "Listen 127.0.0.1\n"
        << "Timeout 30\n"
        << "MaxClients 64\n"
        << "Allow 127.0.0.1\n"
        << "LogLevel Error\n"
        << "LogFile \"" << dir_->File("tinyproxy.log") << "\"\n";
  }
  std::string binary = kBinary;
  std::string foreground = "-d";
  std::string configFlag = "-c";
  std::string configPath = config;
  char* argv[] = {binary.data(), foreground.data(), configFlag.data(), configPath.data(),
                  nullptr};
  if (posix_spawn(&pid_, kBinary, nullptr, nullptr, argv, environ) != 0) {
    pid_ = -1;
    return;
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    if (LoopbackAccepts(port_)) {
      running_ = true;
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TinyProxy::~TinyProxy() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

std::string TinyProxy::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

}  // namespace pellora::testing
