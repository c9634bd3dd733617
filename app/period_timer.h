// A periodic timer driven by one writable period, like a form's timer control.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace pellora {

// Must be created and used on one thread only (the window's): Qt timers can
// be started and stopped only from the thread they live in.
class PeriodTimer : public QObject {
  Q_OBJECT

 public:
  explicit PeriodTimer(QObject* parent = nullptr);

  // 0 or less stops the timer. A positive period that differs from the
  // current one starts the timer afresh, its first tick one period later.
  // Writing the period the timer already has changes nothing: a running timer
  // keeps its rhythm.
  void SetPeriod(int milliseconds);

  // The current period; 0 while stopped.
  [[nodiscard]] int Period() const { return period_; }
  [[nodiscard]] bool IsRunning() const { return timer_.isActive(); }
  // Milliseconds until the next tick; -1 while stopped.
  [[nodiscard]] int RemainingTime() const { return timer_.remainingTime(); }

 signals:
  void Tick();

 private:
  QTimer timer_;
  int period_ = 0;
};

}  // namespace pellora
