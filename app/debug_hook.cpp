#include "app/debug_hook.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"

namespace pellora {

namespace {

void PrintLine(const QString& line) {
  const QByteArray utf8 = line.toUtf8();
  std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

QString EscapeLines(QString text) {
  text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  return text;
}

// Reports the window's first appearance on screen.
class ShownWatcher : public QObject {
 public:
  explicit ShownWatcher(MainWindow& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Show && !reported_) {
      reported_ = true;
      // After the show has been handled, so the geometry is final.
      QTimer::singleShot(0, this, [this] {
        const QRect frame = window_.frameGeometry();
        PrintLine(QStringLiteral("shown %1 %2 %3 %4")
                      .arg(frame.x())
                      .arg(frame.y())
                      .arg(frame.width())
                      .arg(frame.height()));
      });
    }
    return false;
  }

 private:
  MainWindow& window_;
  bool reported_ = false;
};

class CommandReader : public QObject {
 public:
  explicit CommandReader(MainWindow& window)
      : QObject(&window), window_(window), notifier_(STDIN_FILENO, QSocketNotifier::Read, this) {
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
      Run(QString::fromUtf8(line).remove(QLatin1Char('\r')));
    }
  }

  void Run(const QString& line) {
    if (line.startsWith(QStringLiteral("type "))) {
      window_.编辑框1->setText(line.mid(5));
    } else if (line == QStringLiteral("click")) {
      window_.按钮1->click();
    } else if (line == QStringLiteral("esc")) {
      QWidget* target = window_.focusWidget() != nullptr ? window_.focusWidget() : &window_;
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(target, &press);
    } else if (line == QStringLiteral("close")) {
      window_.close();
    }
  }

  MainWindow& window_;
  QSocketNotifier notifier_;
  QByteArray pending_;
};

}  // namespace

void InstallDebugHook(MainWindow& window) {
  const char* flag = std::getenv("PELLORA_DEBUG");
  if (flag == nullptr || std::strcmp(flag, "1") != 0) return;
  new ShownWatcher(window);
  new CommandReader(window);
  QObject::connect(window.编辑框2, &QPlainTextEdit::textChanged, &window, [&window] {
    PrintLine(QStringLiteral("log ") + EscapeLines(window.编辑框2->toPlainText()));
  });
}

}  // namespace pellora
