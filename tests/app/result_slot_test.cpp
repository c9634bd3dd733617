#include "app/result_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pellora {
namespace {

TEST(ResultSlotTest, TakeHandsOutOnceAndLeavesTheSlotEmpty) {
  (void)TakeResult();
  EXPECT_EQ(TakeResult(), "");
  StoreResult("one");
  EXPECT_EQ(TakeResult(), "one");
  EXPECT_EQ(TakeResult(), "");
}

TEST(ResultSlotTest, LaterStoreReplacesTheEarlier) {
  (void)TakeResult();
  StoreResult("earlier");
  StoreResult("later");
  EXPECT_EQ(TakeResult(), "later");
  EXPECT_EQ(TakeResult(), "");
}

TEST(ResultSlotTest, ExitHookEmptiesTheSlot) {
  StoreResult("left");
  OnProgramExit();
  EXPECT_EQ(TakeResult(), "");
}

// Many writers and one reader: every text is handed out at most once and
// whole.
TEST(ResultSlotTest, ConcurrentStoresAndTakesHandEachTextOutOnceAndWhole) {
  (void)TakeResult();
  constexpr int kWriters = 4;
  constexpr int kPerWriter = 2000;
  std::atomic<bool> writing{true};
  std::vector<std::string> taken;
  std::thread reader([&] {
    while (writing.load()) {
      std::string text = TakeResult();
      if (!text.empty()) taken.push_back(std::move(text));
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([w] {
      for (int i = 0; i < kPerWriter; ++i) {
        StoreResult(std::to_string(w) + ":" + std::to_string(i) + std::string(64, 'x'));
      }
    });
  }
  for (std::thread& t : writers) t.join();
  writing = false;
  reader.join();
  const std::string last = TakeResult();
  if (!last.empty()) taken.push_back(last);

  const std::set<std::string> distinct(taken.begin(), taken.end());
  EXPECT_EQ(distinct.size(), taken.size());
  EXPECT_FALSE(taken.empty());
  // No torn or mixed texts.
  for (const std::string& text : taken) {
    ASSERT_GT(text.size(), 64u);
    EXPECT_EQ(text.substr(text.size() - 64), std::string(64, 'x'));
    EXPECT_NE(text.find(':'), std::string::npos);
  }
}

}  // namespace
}  // namespace pellora
