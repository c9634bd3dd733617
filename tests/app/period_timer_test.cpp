#include "app/period_timer.h"

#include <gtest/gtest.h>

#include "qt_wait.h"

namespace pellora {
namespace {

using testing::Pump;
using testing::WaitUntil;

TEST(PeriodTimerTest, StartsStoppedAndTicksOncePeriodIsSet) {
  PeriodTimer timer;
  int ticks = 0;
  QObject::connect(&timer, &PeriodTimer::Tick, [&] { ++ticks; });
  EXPECT_EQ(timer.Period(), 0);
  EXPECT_FALSE(timer.IsRunning());
  timer.SetPeriod(20);
  EXPECT_EQ(timer.Period(), 20);
  EXPECT_TRUE(WaitUntil([&] { return ticks >= 3; }, 2000));
}

TEST(PeriodTimerTest, SamePeriodKeepsTheRhythm) {
  PeriodTimer timer;
  timer.SetPeriod(400);
  Pump(200);
  timer.SetPeriod(400);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_LT(timer.RemainingTime(), 300);  // not restarted at 400
}

TEST(PeriodTimerTest, DifferentPeriodRestarts) {
  PeriodTimer timer;
  timer.SetPeriod(400);
  Pump(200);
  timer.SetPeriod(500);
  EXPECT_EQ(timer.Period(), 500);
  EXPECT_GT(timer.RemainingTime(), 400);
}

TEST(PeriodTimerTest, ZeroOrNegativeStops) {
  for (int stop : {0, -5}) {
    PeriodTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &PeriodTimer::Tick, [&] { ++ticks; });
    timer.SetPeriod(10);
    timer.SetPeriod(stop);
    EXPECT_EQ(timer.Period(), 0);
    EXPECT_FALSE(timer.IsRunning());
    Pump(60);
    EXPECT_EQ(ticks, 0) << stop;
    // The same period as before the stop starts it again.
    timer.SetPeriod(10);
    EXPECT_TRUE(timer.IsRunning());
  }
}

}  // namespace
}  // namespace pellora
