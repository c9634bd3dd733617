// POSIX only: its implementation uses BSD sockets and poll.
// A bare TCP peer on 127.0.0.1 that records the exact bytes of every request
// it receives and answers with scripted bytes, optionally misbehaving: a
// delay before answering, dripping the answer in small pieces, a reset
// instead of a close, or never answering at all. One request per
// connection; each connection runs on a thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pellora::testing {

struct RawReply {
  enum class End {
    kClose,     // orderly close after the bytes
    kReset,     // TCP reset after the bytes
    kKeepOpen,  // hold the connection open until the client or the peer goes
  };

  std::string bytes;  // sent exactly as they stand
  std::chrono::milliseconds delay{0};
  std::size_t dripChunk = 0;  // > 0: send in pieces of this many bytes ...
  std::chrono::milliseconds dripPause{0};  // ... with this pause in between
  End end = End::kClose;
};

// "HTTP/1.1 <status>\r\n" + extra header lines (each ending in "\r\n") +
// "Content-Length: <n>\r\n\r\n" + body.
[[nodiscard]] std::string HttpResponse(std::string_view body,
                                       std::string_view extraHeaders = {},
                                       std::string_view status = "200 OK");

class RawPeer {
 public:
  using Script = std::function<RawReply(const std::string& request)>;

  explicit RawPeer(RawReply fixed);
  explicit RawPeer(Script script);
  ~RawPeer();
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  [[nodiscard]] std::string Url(std::string_view path = "/") const;
  [[nodiscard]] std::string HostPort() const;

  // Every request received so far: the head through its empty line, then as
  // many body bytes as its Content-Length announced.
  [[nodiscard]] std::vector<std::string> Requests() const;
  // Waits up to `timeout` for at least `count` requests; false on time-out.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits up to `timeout` until clients have hung up on `count` connections
  // that were held open (RawReply::End::kKeepOpen); false on time-out.
  bool WaitForHangups(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  void AcceptLoop();
  void Serve(int fd);

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<std::string> requests_;
  std::size_t hangups_ = 0;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace pellora::testing
