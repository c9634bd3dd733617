#include "app/control_bridge.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "qt_wait.h"

namespace pellora {
namespace {

using testing::Pump;
using testing::WaitUntil;

TEST(ControlBridgeTest, RunsTheWorkOnTheContextThreadAndWaitsForIt) {
  QObject context;
  auto bridge = ControlBridge::Create(&context);
  std::atomic<bool> returned{false};
  bool ranOnContextThread = false;
  bool result = false;
  std::thread caller([&] {
    result =
        bridge->Call([&] { ranOnContextThread = QThread::currentThread() == context.thread(); });
    returned = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
  caller.join();
  EXPECT_TRUE(result);
  EXPECT_TRUE(ranOnContextThread);
}

TEST(ControlBridgeTest, CallOnTheContextThreadRunsAtOnce) {
  QObject context;
  auto bridge = ControlBridge::Create(&context);
  bool ran = false;
  EXPECT_TRUE(bridge->Call([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(ControlBridgeTest, ShutdownReleasesAWaitingCallerWithoutRunningTheWork) {
  QObject context;
  auto bridge = ControlBridge::Create(&context);
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  bool result = true;
  std::thread caller([&] {
    result = bridge->Call([&] { ran = true; });
    returned = true;
  });
  // No events are processed here, so the caller stays blocked...
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned.load());
  bridge->Shutdown();  // ...until the window goes.
  caller.join();
  EXPECT_FALSE(result);
  Pump(20);  // the posted work, if delivered now, must not run
  EXPECT_FALSE(ran.load());
  EXPECT_FALSE(bridge->IsOpen());
}

TEST(ControlBridgeTest, CallAfterShutdownReturnsAtOnce) {
  QObject context;
  auto bridge = ControlBridge::Create(&context);
  bridge->Shutdown();
  bridge->Shutdown();
  bool ran = false;
  bool result = true;
  std::thread caller([&] { result = bridge->Call([&] { ran = true; }); });
  caller.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST(ControlBridgeTest, ContextDestroyedWithWorkQueuedIsSafe) {
  auto context = std::make_unique<QObject>();
  auto bridge = ControlBridge::Create(context.get());
  std::atomic<int> ran{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < 8; ++i) callers.emplace_back([&] { bridge->Call([&] { ++ran; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  bridge->Shutdown();
  context.reset();  // drops the queued work
  for (std::thread& t : callers) t.join();
  Pump(20);
  EXPECT_EQ(ran.load(), 0);
}

}  // namespace
}  // namespace pellora
