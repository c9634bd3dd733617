#include "app/debug_hook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "app/platform_stdin.h"

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

void RunCommand(MainWindow& window, const QString& line) {
  if (line.startsWith(QStringLiteral("type "))) {
    window.编辑框1->setText(line.mid(5));
  } else if (line == QStringLiteral("click")) {
    window.按钮1->click();
  } else if (line == QStringLiteral("esc")) {
    QWidget* target = window.focusWidget() != nullptr ? window.focusWidget() : &window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
  } else if (line == QStringLiteral("close")) {
    window.close();
  }
}

}  // namespace

void InstallDebugHook(MainWindow& window) {
  const char* flag = std::getenv("PELLORA_DEBUG");
  if (flag == nullptr || std::strcmp(flag, "1") != 0) return;
  new ShownWatcher(window);
  ReadStdinLines(window, [&window](const QByteArray& line) {
    RunCommand(window, QString::fromUtf8(line).remove(QLatin1Char('\r')));
  });
  QObject::connect(window.编辑框2, &QPlainTextEdit::textChanged, &window, [&window] {
    PrintLine(QStringLiteral("log ") + EscapeLines(window.编辑框2->toPlainText()));
  });
}

}  // namespace pellora
