#include "app/period_timer.h"

namespace pellora {

PeriodTimer::PeriodTimer(QObject* parent) : QObject(parent) {
  // A one-second display counts ticks, so keep the rhythm tight.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PeriodTimer::Tick);
}

void PeriodTimer::SetPeriod(int milliseconds) {
  if (milliseconds <= 0) {
    timer_.stop();
    period_ = 0;
    return;
  }
  // QTimer::start would restart a running timer even for the same interval.
  if (milliseconds == period_ && timer_.isActive()) return;
  period_ = milliseconds;
  timer_.start(milliseconds);
}

}  // namespace pellora
