// Runs work on the window's thread on behalf of other threads, and waits for
// it, without ever letting the window's end block or crash those threads.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace pellora {

// Shared (std::shared_ptr) between the window and every thread that calls
// into it, so it outlives both.
//
// Protocol: Call posts the work to the context object's thread and waits.
// Shutdown, run on that thread before the context object goes away, marks
// the bridge closed and wakes every waiting caller. While the bridge is open
// the context object is alive (it can only be destroyed after Shutdown, and
// Shutdown needs the lock that Call holds while posting), so posting to it is
// safe; work posted but never run (the object was destroyed first) is
// dropped by Qt, and its waiting caller is woken by Shutdown.
class ControlBridge : public std::enable_shared_from_this<ControlBridge> {
 public:
  // `context` lives on the thread that must run the work (the window).
  [[nodiscard]] static std::shared_ptr<ControlBridge> Create(QObject* context);

  // From a thread other than the context's: runs `work` on the context's
  // thread and returns true once it has run. Returns false at once, without
  // running `work`, when the bridge is closed or closes while waiting.
  bool Call(std::function<void()> work);

  // On the context's thread: closes the bridge. Later and waiting calls
  // return false at once. Safe to call more than once.
  void Shutdown();

  [[nodiscard]] bool IsOpen() const;

 private:
  explicit ControlBridge(QObject* context) : context_(context) {}

  QObject* const context_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
};

}  // namespace pellora
