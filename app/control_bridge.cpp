#include "app/control_bridge.h"

#include <QMetaObject>
#include <QThread>

namespace pellora {

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
  QMetaObject::invokeMethod(
      context_,
      [self, finished, work = std::move(work)] {
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
