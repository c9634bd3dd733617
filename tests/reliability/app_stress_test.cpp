// Stress of the window side: the result slot under eight threads and a
// million operations, and the program closed again and again while twenty
// lookups are in flight.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/result_slot.h"
#include "child_process.h"
#include "support/raw_peer.h"

namespace pellora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Four threads store numbered texts, four take them, a million operations
// in all. Every text taken was stored whole, none is taken twice, and from
// any one storer a taker sees the texts in the order they were stored (an
// older text can only have been replaced, never come back).
TEST(ResultSlotStressTest, EightThreadsAMillionOperations) {
  constexpr int kStorers = 4;
  constexpr int kTakers = 4;
  constexpr int kPerThread = 1'000'000 / (kStorers + kTakers);
  (void)TakeResult();

  std::atomic<bool> go{false};
  std::vector<std::vector<std::string>> taken(kTakers);
  std::vector<std::thread> threads;
  for (int s = 0; s < kStorers; ++s) {
    threads.emplace_back([&, s] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPerThread; ++i) {
        StoreResult(std::to_string(s) + ":" + std::to_string(i) + ":" + std::string(i % 40, 'x'));
      }
    });
  }
  for (int t = 0; t < kTakers; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPerThread; ++i) {
        Text text = TakeResult();
        if (!text.empty()) taken[t].push_back(std::move(text));
      }
    });
  }
  go = true;
  for (std::thread& t : threads) t.join();
  const Text last = TakeResult();
  if (!last.empty()) taken[0].push_back(last);
  EXPECT_EQ(TakeResult(), "");

  std::set<std::string> seen;
  size_t total = 0;
  for (int t = 0; t < kTakers; ++t) {
    std::vector<int> newest(kStorers, -1);
    for (const std::string& text : taken[t]) {
      ++total;
      EXPECT_TRUE(seen.insert(text).second) << "handed out twice: " << text.substr(0, 20);
      int s = -1, i = -1, n = 0;
      ASSERT_EQ(std::sscanf(text.c_str(), "%d:%d:%n", &s, &i, &n), 2) << text;
      ASSERT_TRUE(s >= 0 && s < kStorers && i >= 0 && i < kPerThread) << text;
      EXPECT_EQ(text.size() - static_cast<size_t>(n), static_cast<size_t>(i % 40)) << "torn";
      EXPECT_GT(i, newest[s]) << "an older text came back: " << text.substr(0, 20);
      newest[s] = std::max(newest[s], i);
    }
  }
  EXPECT_GT(total, 0u);
  std::printf("result slot: %zu of %d stored texts taken, the rest replaced\n", total,
              kStorers * kPerThread);
}

std::vector<std::string> WindowEnv(const std::string& host) {
  return {"QT_QPA_PLATFORM=offscreen", "PELLORA_DEBUG=1", "PELLORA_LOOKUP_HOST=" + host};
}

// Fifty times: start the program, start twenty lookups against a server that
// never answers, close the window. Each run ends within a second, status 0.
TEST(ShutdownStressTest, FiftyClosesWithTwentyLookupsInFlight) {
  constexpr int kRuns = 50;
  constexpr int kLookups = 20;
  long long slowest = 0;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    testing::RawReply silent;
    silent.end = testing::RawReply::End::kKeepOpen;
    testing::RawPeer server(silent);
    testing::ChildProcess window(PELLORA_BINARY, {}, WindowEnv(server.HostPort()));
    ASSERT_FALSE(window
                     .ReadLineUntil([](const std::string& l) { return l.rfind("shown ", 0) == 0; },
                                    10000)
                     .empty())
        << "the window did not come up";
    window.WriteLine("type 13800138000");
    for (int i = 0; i < kLookups; ++i) window.WriteLine("click");
    ASSERT_TRUE(server.WaitForRequests(kLookups, 10s)) << server.Requests().size() << " requests";

    const auto start = Clock::now();
    window.WriteLine("close");
    const int status = window.WaitExit(5000);
    const long long took = MsSince(start);
    ASSERT_NE(status, -1) << "still running 5 s after the close";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(took, 1000);
    slowest = std::max(slowest, took);
  }
  std::printf("shutdown: %d runs, slowest exit %lld ms\n", kRuns, slowest);
}

}  // namespace
}  // namespace pellora
