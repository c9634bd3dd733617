// POSIX: standard input is watched by the GUI thread's event loop.
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <utility>

#include "app/platform_stdin.h"

namespace pellora {

namespace {

class StdinNotifier : public QObject {
 public:
  StdinNotifier(QObject& owner, std::function<void(const QByteArray&)> onLine)
      : QObject(&owner),
        onLine_(std::move(onLine)),
        notifier_(STDIN_FILENO, QSocketNotifier::Read, this) {
    connect(&notifier_, &QSocketNotifier::activated, this, [this] { ReadSome(); });
  }

 private:
  void ReadSome() {
    char chunk[4096];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
      notifier_.setEnabled(false);  // end of input: nothing more to do
      return;
    }
    pending_.append(chunk, static_cast<qsizetype>(got));
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
      const QByteArray line = pending_.left(end);
      pending_.remove(0, end + 1);
      onLine_(line);
    }
  }

  std::function<void(const QByteArray&)> onLine_;
  QSocketNotifier notifier_;
  QByteArray pending_;
};

}  // namespace

void ReadStdinLines(QObject& owner, std::function<void(const QByteArray& line)> onLine) {
  new StdinNotifier(owner, std::move(onLine));
}

}  // namespace pellora
