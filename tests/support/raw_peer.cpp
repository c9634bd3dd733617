// POSIX only: uses BSD sockets, poll, and SOCK_CLOEXEC, accept4 and MSG_NOSIGNAL (Linux, BSDs).
#include "support/raw_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace pellora::testing {

namespace {

constexpr auto kSlice = std::chrono::milliseconds(20);
constexpr std::size_t kMaxRequest = std::size_t{256} << 20;

bool WaitReadable(int fd, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(kSlice.count()));
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
  return false;
}

// Sleeps in short slices; false when the peer is stopping.
bool Pause(std::chrono::milliseconds total, const std::atomic<bool>& stopping) {
  const auto until = std::chrono::steady_clock::now() + total;
  while (std::chrono::steady_clock::now() < until) {
    if (stopping) return false;
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(
        kSlice, until - std::chrono::steady_clock::now()));
  }
  return !stopping;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::size_t AnnouncedLength(std::string_view head) {
  std::string lower(head);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
}

}  // namespace

std::string HttpResponse(std::string_view body, std::string_view extraHeaders,
                         std::string_view status) {
  std::string out = "HTTP/1.1 " + std::string(status) + "\r\n" + std::string(extraHeaders);
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}

RawPeer::RawPeer(RawReply fixed)
    : RawPeer(Script([fixed = std::move(fixed)](const std::string&) { return fixed; })) {}

RawPeer::RawPeer(Script script) : script_(std::move(script)) {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 64) != 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(listenFd_);
    throw std::runtime_error("raw peer could not listen on 127.0.0.1");
  }
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawPeer::~RawPeer() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& t : connections_) t.join();
  close(listenFd_);
}

std::string RawPeer::Url(std::string_view path) const {
  return "http://" + HostPort() + std::string(path);
}

std::string RawPeer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> RawPeer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool RawPeer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool RawPeer::WaitForHangups(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return hangups_ >= count; });
}

void RawPeer::AcceptLoop() {
  while (WaitReadable(listenFd_, stopping_)) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawPeer::Serve(int fd) {
  std::string request;
  char buffer[16384];
  std::size_t headEnd = std::string::npos;
  std::size_t wanted = 0;
  bool complete = false;
  while (!complete && request.size() < kMaxRequest && WaitReadable(fd, stopping_)) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
    if (headEnd == std::string::npos) {
      headEnd = request.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        headEnd += 4;
        wanted = headEnd + AnnouncedLength(std::string_view(request).substr(0, headEnd));
      }
    }
    complete = headEnd != std::string::npos && request.size() >= wanted;
  }
  if (!complete) {
    close(fd);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  arrived_.notify_all();

  const RawReply reply = script_(request);
  bool alive = Pause(reply.delay, stopping_);
  if (alive) {
    if (reply.dripChunk == 0) {
      alive = SendAll(fd, reply.bytes);
    } else {
      std::string_view rest = reply.bytes;
      while (alive && !rest.empty()) {
        const std::size_t n = std::min(reply.dripChunk, rest.size());
        alive = SendAll(fd, rest.substr(0, n));
        rest.remove_prefix(n);
        if (!rest.empty()) alive = alive && Pause(reply.dripPause, stopping_);
      }
    }
  }
  if (alive && reply.end == RawReply::End::kKeepOpen) {
    // Until the client hangs up or the peer stops.
    while (WaitReadable(fd, stopping_)) {
      if (recv(fd, buffer, sizeof buffer, 0) <= 0) {
        {
          std::lock_guard lock(mutex_);
          ++hangups_;
        }
        arrived_.notify_all();
        break;
      }
    }
  }
  if (reply.end == RawReply::End::kReset) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  } else {
    shutdown(fd, SHUT_WR);
  }
  close(fd);
}

}  // namespace pellora::testing
