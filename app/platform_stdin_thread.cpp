// Any platform: a reader thread of its own blocks in std::getline and posts
// each line to the owner's thread. Used where the event loop cannot watch
// standard input (on Windows it is not a socket).
//
// The thread is detached and is never waited for: a read from standard input
// cannot be interrupted portably. It reaches the owner only through the shared
// `Link`, under its mutex; the owner's side clears the link when it goes, so
// the thread never posts to a destroyed object and ends at its next line. The
// mutex is held only while an event is posted, which never blocks.
#include <QMetaObject>
#include <QObject>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "app/platform_stdin.h"

namespace pellora {

namespace {

struct Link {
  std::mutex mutex;
  QObject* receiver = nullptr;  // null once the owner's side is gone
  std::function<void(const QByteArray&)> onLine;
};

class StdinReceiver : public QObject {
 public:
  StdinReceiver(QObject& owner, std::shared_ptr<Link> link)
      : QObject(&owner), link_(std::move(link)) {}
  ~StdinReceiver() override {
    std::lock_guard lock(link_->mutex);
    link_->receiver = nullptr;
  }

 private:
  std::shared_ptr<Link> link_;
};

void ReadLines(const std::shared_ptr<Link>& link) {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (std::cin.eof()) return;  // a last line without a line feed
    std::lock_guard lock(link->mutex);
    if (link->receiver == nullptr) return;
    // Runs on the receiver's thread, and not at all once it is destroyed.
    QMetaObject::invokeMethod(
        link->receiver, [link, bytes = QByteArray::fromStdString(line)] { link->onLine(bytes); },
        Qt::QueuedConnection);
  }
}

}  // namespace

void ReadStdinLines(QObject& owner, std::function<void(const QByteArray& line)> onLine) {
  auto link = std::make_shared<Link>();
  link->onLine = std::move(onLine);
  link->receiver = new StdinReceiver(owner, link);
  std::thread([link] { ReadLines(link); }).detach();
}

}  // namespace pellora
