#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <limits>
#include <system_error>
#include <thread>

#include "app/control_bridge.h"
#include "app/period_timer.h"
#include "app/result_slot.h"
#include "app/widget_text.h"
#include "lookup/run_lookup.h"
#include "values/text_ops.h"

namespace pellora {

namespace {

// 你怕是个傻子，什么都不输入，查什么呢？空气？
constexpr std::string_view kEmptyNumberMessage =
    "\xc4\xe3\xc5\xc2\xca\xc7\xb8\xf6\xc9\xb5\xd7\xd3\xa3\xac\xca\xb2\xc3\xb4\xb6"
    "\xbc\xb2\xbb\xca\xe4\xc8\xeb\xa3\xac\xb2\xe9\xca\xb2\xc3\xb4\xc4\xd8\xa3\xbf"
    "\xbf\xd5\xc6\xf8\xa3\xbf";
// 正在为您获取数据，已等待
constexpr std::string_view kWaitHead =
    "\xd5\xfd\xd4\xda\xce\xaa\xc4\xfa\xbb\xf1\xc8\xa1\xca\xfd\xbe\xdd\xa3\xac\xd2"
    "\xd1\xb5\xc8\xb4\xfd";
// 秒，如果长时间未查询出来，请重新查询~
constexpr std::string_view kWaitTail =
    "\xc3\xeb\xa3\xac\xc8\xe7\xb9\xfb\xb3\xa4\xca\xb1\xbc\xe4\xce\xb4\xb2\xe9\xd1"
    "\xaf\xb3\xf6\xc0\xb4\xa3\xac\xc7\xeb\xd6\xd8\xd0\xc2\xb2\xe9\xd1\xaf~";
// 数据查询失败，请稍后再试~
constexpr std::string_view kFailed =
    "\xca\xfd\xbe\xdd\xb2\xe9\xd1\xaf\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xc9\xd4\xba"
    "\xf3\xd4\xd9\xca\xd4~";

constexpr int kWaitPeriodMs = 1000;
constexpr int kGiveUpTick = 30;

// Edit boxes have a plain one-pixel line and the button-face background.
QString EditBoxStyle(const char* type, const char* textColour) {
  return QStringLiteral(
             "%1 { border: 1px solid #000000; background-color: palette(button);"
             " color: %2; }")
      .arg(QLatin1String(type), QLatin1String(textColour));
}

// Reads a one-line box through the bridge; the conversion to code page 936
// happens on the calling thread.
Text ReadThrough(ControlBridge& bridge, QLineEdit* box) {
  auto read = std::make_shared<QString>();
  if (!bridge.Call([box, read] { *read = box->text(); })) return Text();
  return FromWidgetText(*read);
}

void WriteThrough(ControlBridge& bridge, QPlainTextEdit* box, std::string_view text) {
  bridge.Call([box, shown = ToWidgetText(text)] { box->setPlainText(shown); });
}

}  // namespace

void ShowInfoBox(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral(u"信息："), ToWidgetText(text),
                  QMessageBox::Ok, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

MainWindow::MainWindow(Text lookupHost, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      透明标签1(new QLabel(QStringLiteral(u"手机号码："), this)),
      编辑框1(new QLineEdit(this)),
      按钮1(new QPushButton(QStringLiteral(u"查询"), this)),
      分组框1(new QGroupBox(QStringLiteral(u"日志"), this)),
      编辑框2(new QPlainTextEdit(分组框1)),
      时钟1(new PeriodTimer(this)),
      bridge_(ControlBridge::Create(this)),
      running_(std::make_shared<std::atomic<int>>(0)),
      lookupHost_(std::move(lookupHost)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Pellorav1.0  "));
  setFixedSize(kOuterWidth, kOuterHeight);

  // Button face behind everything; black text unless a control says otherwise.
  QPalette face = palette();
  const QColor buttonFace = face.color(QPalette::Button);
  face.setColor(QPalette::Window, buttonFace);
  face.setColor(QPalette::Base, buttonFace);
  face.setColor(QPalette::WindowText, Qt::black);
  face.setColor(QPalette::Text, Qt::black);
  setPalette(face);
  setAutoFillBackground(true);

  透明标签1->setObjectName(QStringLiteral(u"透明标签1"));
  透明标签1->setGeometry(16, 24, 64, 32);
  透明标签1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  透明标签1->setWordWrap(false);
  透明标签1->setFocusPolicy(Qt::NoFocus);

  编辑框1->setObjectName(QStringLiteral(u"编辑框1"));
  编辑框1->setGeometry(80, 27, 192, 24);
  编辑框1->setMaxLength(std::numeric_limits<int>::max());
  编辑框1->setStyleSheet(EditBoxStyle("QLineEdit", "#000000"));

  按钮1->setObjectName(QStringLiteral(u"按钮1"));
  按钮1->setGeometry(294, 26, 64, 24);
  按钮1->setAutoDefault(false);
  按钮1->setDefault(false);
  connect(按钮1, &QPushButton::clicked, this, &MainWindow::OnQueryClicked);

  分组框1->setObjectName(QStringLiteral(u"分组框1"));
  分组框1->setGeometry(12, 64, 368, 224);
  分组框1->setAlignment(Qt::AlignLeft);

  编辑框2->setObjectName(QStringLiteral(u"编辑框2"));
  编辑框2->setGeometry(12, 24, 344, 192);
  编辑框2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  编辑框2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  编辑框2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  编辑框2->setReadOnly(false);
  // Tab moves the focus on, as in a dialog; Enter still breaks the line.
  编辑框2->setTabChangesFocus(true);
  QPalette red = 编辑框2->palette();
  red.setColor(QPalette::Text, QColor(255, 0, 0));
  编辑框2->setPalette(red);
  编辑框2->setStyleSheet(EditBoxStyle("QPlainTextEdit", "rgb(255, 0, 0)"));

  时钟1->setObjectName(QStringLiteral(u"时钟1"));
  connect(时钟1, &PeriodTimer::Tick, this, &MainWindow::OnTimerTick);

  setTabOrder(编辑框1, 按钮1);
  setTabOrder(按钮1, 编辑框2);
  编辑框1->setFocus();

  // Lookup threads waiting on the window must be let go once the event loop
  // is over, even if the window object is still around.
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
          [bridge = bridge_] { bridge->Shutdown(); });
}

MainWindow::~MainWindow() { bridge_->Shutdown(); }

void MainWindow::OnQueryClicked() {
  const Text number = FromWidgetText(编辑框1->text());
  if (number.empty()) {
    ShowInfoBox(kEmptyNumberMessage);
    return;
  }
  时钟1->SetPeriod(kWaitPeriodMs);
  StartLookup();
}

void MainWindow::OnTimerTick() {
  ++WaitCounter;
  SetLog(ConcatText({kWaitHead, ToText(WaitCounter + 1.0), kWaitTail}));
  const Text result = TakeResult();
  if (!result.empty()) {
    SetLog(result);
    WaitCounter = 0;
    时钟1->SetPeriod(0);
    return;
  }
  if (WaitCounter == kGiveUpTick) {
    SetLog(kFailed);
    WaitCounter = 0;
    时钟1->SetPeriod(0);
  }
}

void MainWindow::StartLookup() {
  LookupHooks hooks;
  // The hooks hold the bridge and the two controls' addresses; the controls
  // are touched only inside bridge calls, i.e. on this thread while the
  // window is open.
  std::shared_ptr<ControlBridge> bridge = bridge_;
  QLineEdit* numberBox = 编辑框1;
  QPlainTextEdit* logBox = 编辑框2;
  hooks.readNumber = [bridge, numberBox] { return ReadThrough(*bridge, numberBox); };
  hooks.setLog = [bridge, logBox](std::string_view text) { WriteThrough(*bridge, logBox, text); };
  hooks.storeResult = [](Text text) { StoreResult(std::move(text)); };
  hooks.host = lookupHost_;

  std::shared_ptr<std::atomic<int>> running = running_;
  ++*running;
  try {
    std::thread([hooks = std::move(hooks), running] {
      RunLookup(hooks);
      --*running;
    }).detach();
  } catch (const std::system_error&) {
    // A thread that cannot be started goes unreported: the wait simply runs
    // out after its thirty ticks.
    --*running;
  }
}

Text MainWindow::ReadNumberBox() { return ReadThrough(*bridge_, 编辑框1); }

void MainWindow::WriteLogBox(std::string_view text) { WriteThrough(*bridge_, 编辑框2, text); }

Text MainWindow::LogText() const { return FromWidgetText(编辑框2->toPlainText()); }

void MainWindow::SetLog(std::string_view text) { 编辑框2->setPlainText(ToWidgetText(text)); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // No control claims Esc, so it reaches the window from wherever it is typed.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // From here on a lookup thread asking for a control gets nothing and waits
  // for nothing, so it can never hold up the end of the program.
  bridge_->Shutdown();
  QWidget::closeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FitToFrame();
  // Window managers report the frame only after the window is mapped.
  QTimer::singleShot(0, this, &MainWindow::FitToFrame);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FitToFrame();
}

void MainWindow::FitToFrame() {
  const QSize extra = frameGeometry().size() - size();
  if (extra.width() >= 0 && extra.height() >= 0 && extra != frameExtra_ &&
      extra.width() < kOuterWidth && extra.height() < kOuterHeight) {
    frameExtra_ = extra;
    setFixedSize(kOuterWidth - extra.width(), kOuterHeight - extra.height());
    centred_ = false;
  }
  if (centred_) return;
  centred_ = true;
  // Centred on the whole screen, task bars and docks included.
  const QScreen* where = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (where == nullptr) return;
  const QRect whole = where->geometry();
  move(whole.x() + (whole.width() - kOuterWidth) / 2,
       whole.y() + (whole.height() - kOuterHeight) / 2);
}

}  // namespace pellora
