#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "app/period_timer.h"
#include "app/result_slot.h"
#include "qt_wait.h"
#include "test_server.h"
#include "texts.h"

namespace pellora {
namespace {

using testing::Pump;
using testing::TestServer;
using testing::WaitUntil;

// A window pointed at a local server that holds every reply back until the
// test ends, so no lookup result arrives unless the test stores one.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)TakeResult();
    server_ = std::make_unique<TestServer>(TestServer::HoldReplies{std::chrono::seconds(20), ""});
    window_ = std::make_unique<MainWindow>(server_->Host());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  void TearDown() override {
    server_->Release();
    EXPECT_TRUE(WaitUntil([this] { return window_->LookupsRunning() == 0; }, 10000));
    window_.reset();
    server_.reset();
    (void)TakeResult();
  }

  // Clicks 查询 and answers the message box, if one comes, with OK. Returns
  // the box's title, text, icon and button count as seen; empty when none.
  struct BoxSeen {
    bool shown = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
  };
  BoxSeen ClickAndAnswerBox(int answerAfterMs = 0, std::function<void()> whileOpen = {}) {
    BoxSeen seen;
    QTimer::singleShot(answerAfterMs, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen.shown = true;
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.icon = box->icon();
      seen.buttons = box->buttons().size();
      if (whileOpen) whileOpen();
      box->button(QMessageBox::Ok)->click();
    });
    window_->按钮1->click();
    Pump(answerAfterMs + 20);  // let a single-shot that found no box expire
    return seen;
  }

  MainWindow& W() { return *window_; }

  std::unique_ptr<TestServer> server_;
  std::unique_ptr<MainWindow> window_;
};

// --- Layout -----------------------------------------------------------------

TEST_F(WindowTest, ControlsSitWhereTheFormPutsThem) {
  struct Place {
    const char16_t* name;
    QRect geometry;
  };
  const Place places[] = {
      {u"透明标签1", QRect(16, 24, 64, 32)}, {u"编辑框1", QRect(80, 27, 192, 24)},
      {u"按钮1", QRect(294, 26, 64, 24)},    {u"分组框1", QRect(12, 64, 368, 224)},
      {u"编辑框2", QRect(12, 24, 344, 192)},
  };
  for (const Place& place : places) {
    const QString name = QString::fromUtf16(place.name);
    auto* control = W().findChild<QWidget*>(name);
    ASSERT_NE(control, nullptr) << name.toStdString();
    EXPECT_EQ(control->geometry(), place.geometry) << name.toStdString();
    EXPECT_TRUE(control->isEnabled()) << name.toStdString();
  }
  EXPECT_EQ(W().编辑框2->parentWidget(), W().分组框1);
}

TEST_F(WindowTest, WindowIsFixedCentredAndHasNoMaximiseBox) {
  EXPECT_EQ(W().windowTitle(), QStringLiteral("Pellorav1.0  "));
  // The offscreen platform reports no frame: the client area is the outer size.
  EXPECT_EQ(W().frameGeometry().size(), QSize(398, 325));
  EXPECT_EQ(W().minimumSize(), W().maximumSize());
  const QRect screen = W().screen()->geometry();
  EXPECT_LE(std::abs(W().frameGeometry().center().x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(W().frameGeometry().center().y() - screen.center().y()), 1);

  const Qt::WindowFlags flags = W().windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(QIcon(QStringLiteral(":/pellora/pellora.png")).isNull());
}

TEST_F(WindowTest, CaptionsColoursAndSettings) {
  EXPECT_EQ(W().透明标签1->text(), QStringLiteral(u"手机号码："));
  EXPECT_EQ(W().透明标签1->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
  EXPECT_EQ(W().透明标签1->focusPolicy(), Qt::NoFocus);
  EXPECT_FALSE(W().透明标签1->autoFillBackground());
  EXPECT_EQ(W().按钮1->text(), QStringLiteral(u"查询"));
  EXPECT_FALSE(W().按钮1->autoDefault());
  EXPECT_FALSE(W().按钮1->isDefault());
  EXPECT_EQ(W().分组框1->title(), QStringLiteral(u"日志"));
  EXPECT_TRUE(W().编辑框1->text().isEmpty());
  EXPECT_GE(W().编辑框1->maxLength(), 1 << 30);

  QPlainTextEdit& log = *W().编辑框2;
  EXPECT_TRUE(log.toPlainText().isEmpty());
  EXPECT_FALSE(log.isReadOnly());
  EXPECT_EQ(log.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(log.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(log.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(log.palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(W().编辑框1->palette().color(QPalette::Text), QColor(0, 0, 0));

  const QColor face = W().palette().color(QPalette::Button);
  EXPECT_EQ(W().palette().color(QPalette::Window), face);
  EXPECT_TRUE(W().autoFillBackground());
  for (QWidget* box : {static_cast<QWidget*>(W().编辑框1), static_cast<QWidget*>(W().编辑框2)}) {
    EXPECT_TRUE(box->styleSheet().contains(QStringLiteral("border: 1px solid")));
    EXPECT_TRUE(box->styleSheet().contains(QStringLiteral("palette(button)")));
  }
  EXPECT_EQ(W().时钟1->Period(), 0);
  EXPECT_EQ(W().WaitCount(), 0);
}

TEST_F(WindowTest, LongLinesWrapAtTheBoxWidth) {
  W().WriteLogBox(std::string(300, 'x'));
  // One block (no line break in the text), laid out over several lines.
  EXPECT_EQ(W().编辑框2->blockCount(), 1);
  EXPECT_GT(W().编辑框2->document()->firstBlock().layout()->lineCount(), 1);
}

// --- Keyboard -----------------------------------------------------------------

TEST_F(WindowTest, TabVisitsTheThreeInputControls) {
  QApplication::setActiveWindow(&W());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&W()));
  W().编辑框1->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return W().编辑框1->hasFocus(); }, 1000));
  QTest::keyClick(W().编辑框1, Qt::Key_Tab);
  EXPECT_TRUE(W().按钮1->hasFocus());
  QTest::keyClick(W().按钮1, Qt::Key_Tab);
  EXPECT_TRUE(W().编辑框2->hasFocus());
  QTest::keyClick(W().编辑框2, Qt::Key_Tab);
  EXPECT_TRUE(W().编辑框1->hasFocus());
}

TEST_F(WindowTest, EnterInTheNumberBoxDoesNothing) {
  QTest::keyClicks(W().编辑框1, "138");
  BoxSeen seen;
  QTimer::singleShot(0, [&] { seen.shown = QApplication::activeModalWidget() != nullptr; });
  QTest::keyClick(W().编辑框1, Qt::Key_Return);
  QTest::keyClick(W().编辑框1, Qt::Key_Enter);
  Pump(20);
  EXPECT_FALSE(seen.shown);
  EXPECT_EQ(W().时钟1->Period(), 0);
  EXPECT_EQ(W().LookupsRunning(), 0);
  EXPECT_EQ(server_->Requests(), 0);
  EXPECT_EQ(W().编辑框1->text(), QStringLiteral("138"));
}

TEST_F(WindowTest, EnterInTheLogBoxBreaksTheLine) {
  QTest::keyClicks(W().编辑框2, "ab");
  QTest::keyClick(W().编辑框2, Qt::Key_Return);
  QTest::keyClicks(W().编辑框2, "cd");
  EXPECT_EQ(W().编辑框2->toPlainText(), QStringLiteral("ab\ncd"));
  EXPECT_EQ(W().LogText(), "ab\r\ncd");
}

TEST_F(WindowTest, EscInAnyControlClosesTheWindow) {
  for (QWidget* control : {static_cast<QWidget*>(W().编辑框1), static_cast<QWidget*>(W().按钮1),
                           static_cast<QWidget*>(W().编辑框2)}) {
    W().show();
    ASSERT_TRUE(W().isVisible());
    QTest::keyClick(control, Qt::Key_Escape);
    EXPECT_FALSE(W().isVisible()) << control->objectName().toStdString();
  }
}

// --- The click --------------------------------------------------------------

TEST_F(WindowTest, EmptyNumberShowsTheBoxAndNothingElse) {
  W().时钟1->SetPeriod(1000);  // a wait already running keeps its state
  const BoxSeen seen = ClickAndAnswerBox();
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.title, QStringLiteral(u"信息："));
  EXPECT_EQ(seen.text, QString::fromUtf16(testing::kEmptyNumberMessageUtf16));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_EQ(W().时钟1->Period(), 1000);
  EXPECT_EQ(W().LookupsRunning(), 0);
  EXPECT_EQ(server_->Requests(), 0);
  EXPECT_TRUE(W().编辑框2->toPlainText().isEmpty());
}

TEST_F(WindowTest, TicksGoOnWhileTheBoxIsOpen) {
  W().时钟1->SetPeriod(20);
  int countWhileOpen = 0;
  const BoxSeen seen = ClickAndAnswerBox(200, [&] { countWhileOpen = W().WaitCount(); });
  W().时钟1->SetPeriod(0);
  ASSERT_TRUE(seen.shown);
  EXPECT_GE(countWhileOpen, 3);
}

TEST_F(WindowTest, SingleBlankStartsALookup) {
  W().编辑框1->setText(QStringLiteral(" "));
  const BoxSeen seen = ClickAndAnswerBox();
  EXPECT_FALSE(seen.shown);
  EXPECT_EQ(W().时钟1->Period(), 1000);
  EXPECT_TRUE(W().时钟1->IsRunning());
  EXPECT_TRUE(WaitUntil([&] { return server_->Requests() == 1 || W().LookupsRunning() == 0; }));
}

// --- The wait display -------------------------------------------------------

TEST_F(WindowTest, TickSequenceCountsToThirtyThenGivesUp) {
  W().编辑框1->setText(QStringLiteral("13800138000"));
  W().按钮1->click();
  ASSERT_TRUE(WaitUntil([&] { return server_->Requests() == 1; }));
  for (int tick = 1; tick <= 29; ++tick) {
    W().OnTimerTick();
    ASSERT_EQ(W().LogText(), testing::WaitText(tick + 1)) << "tick " << tick;
    ASSERT_EQ(W().WaitCount(), tick);
    ASSERT_EQ(W().时钟1->Period(), 1000);
  }
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), testing::kFailedText);
  EXPECT_EQ(W().WaitCount(), 0);
  EXPECT_EQ(W().时钟1->Period(), 0);
  EXPECT_FALSE(W().时钟1->IsRunning());

  // The next accepted click begins a fresh wait whose first tick shows 2.
  W().按钮1->click();
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), testing::WaitText(2));
  EXPECT_EQ(W().WaitCount(), 1);
}

TEST_F(WindowTest, ResultArrivingAtALaterTickEndsTheWait) {
  W().时钟1->SetPeriod(1000);
  for (int tick = 1; tick <= 4; ++tick) W().OnTimerTick();
  StoreResult("found");
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), "found");
  EXPECT_EQ(W().WaitCount(), 0);
  EXPECT_EQ(W().时钟1->Period(), 0);
}

TEST_F(WindowTest, SecondClickNeitherRestartsTheTimerNorResetsTheCount) {
  W().编辑框1->setText(QStringLiteral("13800138000"));
  W().按钮1->click();
  for (int tick = 1; tick <= 5; ++tick) W().OnTimerTick();
  Pump(150);
  // (On a slow machine the real timer may have ticked meanwhile.)
  const int countBefore = W().WaitCount();
  const int before = W().时钟1->RemainingTime();
  W().按钮1->click();
  const int after = W().时钟1->RemainingTime();
  EXPECT_LE(after, before);
  EXPECT_LT(after, 900);
  EXPECT_EQ(W().WaitCount(), countBefore);
  EXPECT_GE(countBefore, 5);
  EXPECT_EQ(W().LookupsRunning(), 2);
  // The wait still gives up at its 30th tick.
  while (W().WaitCount() < 29) W().OnTimerTick();
  EXPECT_EQ(W().LogText(), testing::WaitText(30));
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), testing::kFailedText);
}

TEST_F(WindowTest, TwoStoresBetweenTicksShowTheLater) {
  W().时钟1->SetPeriod(1000);
  StoreResult("first");
  StoreResult("second");
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), "second");
  EXPECT_EQ(TakeResult(), "");
}

TEST_F(WindowTest, LeftoverTextIsShownByTheFirstTickOfTheNextWait) {
  StoreResult("left over");
  W().编辑框1->setText(QStringLiteral("13800138000"));
  W().按钮1->click();
  W().OnTimerTick();
  EXPECT_EQ(W().LogText(), "left over");
  EXPECT_EQ(W().时钟1->Period(), 0);
  EXPECT_EQ(W().WaitCount(), 0);
  // The new lookup's own text stays in the slot for the wait after.
  server_->Release();
  ASSERT_TRUE(WaitUntil([&] { return W().LookupsRunning() == 0; }));
  EXPECT_EQ(TakeResult(), testing::kNotFoundText);
}

// --- Whole lookups through the window ---------------------------------------

TEST(WindowLookupTest, FoundNumberShowsSixLinesAtTheFirstTick) {
  (void)TakeResult();
  TestServer server(testing::Replying(testing::kZhangSanReply));
  MainWindow window(server.Host());
  window.show();
  window.编辑框2->setPlainText(QStringLiteral("old text"));
  window.编辑框1->setText(QStringLiteral("13800138000"));
  window.按钮1->click();
  // The lookup empties the log box at once and finishes long before the tick.
  ASSERT_TRUE(WaitUntil([&] { return window.LookupsRunning() == 0; }));
  if (window.时钟1->IsRunning()) {  // no tick yet (unless the machine is very slow)
    EXPECT_EQ(window.LogText(), "");
    EXPECT_EQ(window.WaitCount(), 0);
  }
  ASSERT_TRUE(WaitUntil([&] { return !window.LogText().empty(); }, 3000));
  EXPECT_EQ(window.LogText(), testing::kZhangSanResult);
  EXPECT_EQ(window.时钟1->Period(), 0);
  EXPECT_EQ(server.LastPath(), "/10086/13800138000");
}

TEST(WindowLookupTest, ControlsAreOutOfReachOnceTheWindowCloses) {
  MainWindow window("127.0.0.1:9");
  window.show();
  window.编辑框1->setText(QStringLiteral("13800138000"));
  window.close();
  Text read = "unchanged";
  std::thread other([&] {
    read = window.ReadNumberBox();
    window.WriteLogBox("must not appear");
  });
  other.join();  // returns at once: no event processing needed
  EXPECT_EQ(read, "");
  EXPECT_TRUE(window.编辑框2->toPlainText().isEmpty());
}

TEST(WindowLookupTest, OtherThreadsReadAndWriteTheControlsThroughTheWindow) {
  MainWindow window("127.0.0.1:9");
  window.show();
  window.编辑框1->setText(QStringLiteral(u"138中文😀"));
  Text read;
  std::atomic<bool> done{false};
  std::thread other([&] {
    read = window.ReadNumberBox();
    window.WriteLogBox("a\r\nb\xd5\xc5");
    done = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
  other.join();
  // The emoji has no code page 936 form.
  EXPECT_EQ(read, "138\xd6\xd0\xce\xc4?");
  EXPECT_EQ(window.编辑框2->toPlainText(), QStringLiteral(u"a\nb张"));
}

}  // namespace
}  // namespace pellora
