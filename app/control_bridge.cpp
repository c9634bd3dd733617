#include "app/control_bridge.h"

#include <QMetaObject>
#include <QThread>

namespace pellora {

namespace {

// Qt hands a posted call to the window's thread through its own event queue,
// whose locking a race detector cannot see. Posting under this mutex, and
// taking it once before the call reads anything it captured, makes that
// hand-over visible. The window's thread never waits on anything else while
// holding it, and a poster holds it only while posting.
std::mutex& HandoffMutex() {
  static std::mutex* const mutex = new std::mutex;  // never destroyed: used up to exit
  return *mutex;
}

}  // namespace

std::shared_ptr<ControlBridge> ControlBridge::Create(QObject* context) {
  return std::shared_ptr<ControlBridge>(new ControlBridge(context));
}

bool ControlBridge::Call(std::function<void()> work) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_) return false;
  if (context_->thread() == QThread::currentThread()) {
    // Already on the window's thread: waiting for a posted call would hang.
    lock.unlock();
    work();
    return true;
  }
  auto finished = std::make_shared<bool>(false);
  std::shared_ptr<ControlBridge> self = shared_from_this();
  std::unique_lock<std::mutex> posting(HandoffMutex());
  QMetaObject::invokeMethod(
      context_,
      [self, finished, work = std::move(work)] {
        { std::lock_guard<std::mutex> handedOver(HandoffMutex()); }
        {
          std::lock_guard<std::mutex> guard(self->mutex_);
          if (!self->open_) return;
        }
        // Shutdown runs on this same thread, so the bridge stays open while
        // the work runs.
        work();
        std::lock_guard<std::mutex> guard(self->mutex_);
        *finished = true;
        self->changed_.notify_all();
      },
      Qt::QueuedConnection);
  posting.unlock();
  changed_.wait(lock, [&] { return *finished || !open_; });
  return *finished;
}

void ControlBridge::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
  changed_.notify_all();
}

bool ControlBridge::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

}  // namespace pellora
