// The program's one window: the number box, the query button, the log box
// and the one-second wait display.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "app/lookup_host.h"
#include "values/value_types.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace pellora {

class ControlBridge;
class PeriodTimer;

// Layout (client coordinates, pixels): label 16,24 64x32; number box 80,27
// 192x24; button 294,26 64x24; group box 12,64 368x224 holding the log box at
// 12,24 344x192. The outer size is 398x325: where the platform reports a
// window frame the client area is shrunk by the frame so the outer size stays
// 398x325; where it reports none (offscreen, X without a window manager) the
// client area itself is 398x325.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `lookupHost` is where every lookup started by this window is sent.
  explicit MainWindow(Text lookupHost = LookupHost(), QWidget* parent = nullptr);
  ~MainWindow() override;

  // The click of 按钮1: an empty number gets the message box and nothing
  // else; otherwise the wait display runs (period 1000) and a lookup thread
  // starts. Window thread only.
  void OnQueryClicked();

  // One tick of 时钟1: shows the counting wait message, then the slot's text
  // if there is one, or the failure message at the 30th tick. Window thread.
  void OnTimerTick();

  // Any thread other than the window's (or the window's own): the text of
  // 编辑框1 as code page 936 text. Waits until the window's thread has read
  // it; once the window is closing or gone, returns the empty text at once.
  [[nodiscard]] Text ReadNumberBox();
  // Any thread: replaces the whole text of 编辑框2 and waits until done; once
  // the window is closing or gone, returns at once and writes nothing.
  void WriteLogBox(std::string_view text);

  // Window thread: 编辑框2's text as code page 936 text, CR LF line ends.
  [[nodiscard]] Text LogText() const;
  // Window thread: ticks of the current wait (WaitCounter), 0 when idle.
  [[nodiscard]] int32_t WaitCount() const { return WaitCounter; }
  // Lookup threads started by this window that have not returned yet.
  [[nodiscard]] int LookupsRunning() const { return running_->load(); }

  // The controls, named as on the form.
  QLabel* const 透明标签1;
  QLineEdit* const 编辑框1;
  QPushButton* const 按钮1;
  QGroupBox* const 分组框1;
  QPlainTextEdit* const 编辑框2;
  PeriodTimer* const 时钟1;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void SetLog(std::string_view text);
  void StartLookup();
  void FitToFrame();

  std::shared_ptr<ControlBridge> bridge_;
  std::shared_ptr<std::atomic<int>> running_;
  const Text lookupHost_;
  int32_t WaitCounter = 0;
  QSize frameExtra_;
  bool centred_ = false;
};

// Shows `text` (code page 936) under the title "信息：" with one OK button and
// no icon, owned by no window, modal for the application; returns when it is
// dismissed. Events, the timer's ticks among them, go on meanwhile.
void ShowInfoBox(std::string_view text);

// The window's outer size, frame and caption included.
inline constexpr int kOuterWidth = 398;
inline constexpr int kOuterHeight = 325;

}  // namespace pellora
