// A small HTTP server on 127.0.0.1 for tests: answers every GET with the
// handler given (or holds every reply back until released), and counts the
// requests.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace pellora::testing {

class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit TestServer(Handler handler) : handler_(std::move(handler)) { Start(); }

  // A server that holds every reply back until Release() (or until `limit`
  // passes), then answers with `body`.
  struct HoldReplies {
    std::chrono::milliseconds limit;
    std::string body;
  };
  explicit TestServer(HoldReplies hold)
      : handler_([this, hold](const httplib::Request&, httplib::Response& response) {
          HoldUntilReleased(hold.limit);
          response.set_content(hold.body, "text/plain");
        }) {
    Start();
  }

  // Lets held replies go, then stops the server and joins its thread.
  ~TestServer() {
    Release();
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // "127.0.0.1:<port>", ready for a lookup host. Port() <= 0: bind failed.
  [[nodiscard]] std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] int Requests() const { return requests_.load(); }
  [[nodiscard]] std::string LastPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastPath_;
  }

  // Lets every held reply go, now and later.
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    isReleased_ = true;
    released_.notify_all();
  }

 private:
  void Start() {
    server_.new_task_queue = [] { return new httplib::ThreadPool(128); };
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lastPath_ = request.path;
      }
      ++requests_;
      handler_(request, response);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so wait for it.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  void HoldUntilReleased(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait_for(lock, limit, [this] { return isReleased_; });
  }

  Handler handler_;
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<int> requests_{0};
  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool isReleased_ = false;
  std::string lastPath_;
};

// A reply handler that sends `body` as it is.
inline TestServer::Handler Replying(std::string body) {
  return [body = std::move(body)](const httplib::Request&, httplib::Response& response) {
    response.set_content(body, "application/json");
  };
}

}  // namespace pellora::testing
