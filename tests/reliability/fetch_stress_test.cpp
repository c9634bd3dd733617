// Many fetches at once against one local peer that answers each after a
// random delay, each fetch with a random time-out of 0 to 2 seconds: every
// fetch gets its own reply or the time-out text, in time, and when all is
// over no worker thread or socket is left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "process_census.h"
#include "support/raw_peer.h"
#include "support/tiny_proxy.h"
#include "web/http_fetch.h"

namespace pellora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::HttpResponse;
using testing::RawPeer;
using testing::RawReply;

constexpr int kFetches = 200;

// The reply names the path it answers, so a fetch that got another fetch's
// reply is caught.
std::string PathOf(const std::string& request) {
  const size_t start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

TEST(FetchStressTest, TwoHundredConcurrentFetchesWithRandomTimeOuts) {
  (void)HttpFetch("http://127.0.0.1:" + std::to_string(testing::FreeLoopbackPort()) + "/", 0, {},
                  {}, {}, {}, 5);
  const int threadsBefore = reliability::ThreadCount();
  const int fdsBefore = reliability::OpenFdCount();

  std::atomic<int> answered{0}, timedOut{0};
  {
    RawPeer peer([](const std::string& request) {
      // Delays spread over 0 to 2.5 s, derived from the path so the script
      // needs no shared random state.
      const std::string path = PathOf(request);
      const int n = std::atoi(path.c_str() + path.rfind('/') + 1);
      RawReply reply;
      reply.bytes = HttpResponse("reply to " + path);
      reply.delay = std::chrono::milliseconds((n * 7919) % 2500);
      return reply;
    });

    std::mt19937 random(20261211);
    std::vector<int> timeouts(kFetches);
    for (int& t : timeouts) t = static_cast<int>(random() % 3);

    std::atomic<int> wrong{0}, late{0};
    std::vector<std::thread> fetches;
    const auto started = Clock::now();
    for (int i = 0; i < kFetches; ++i) {
      fetches.emplace_back([&, i] {
        const std::string path = "/stress/" + std::to_string(i);
        const auto start = Clock::now();
        const ByteString body = HttpFetch(peer.Url(path), 0, {}, {}, {}, {}, timeouts[i]);
        const auto took = Clock::now() - start;
        if (body == "reply to " + path) {
          ++answered;
        } else if (body == FetchTimeoutText()) {
          ++timedOut;
        } else {
          ++wrong;
        }
        if (timeouts[i] == 0 && body != FetchTimeoutText()) ++wrong;
        // The limit plus slack for 400 threads on a small, busy machine.
        if (took > std::chrono::seconds(timeouts[i]) + 4s) ++late;
      });
    }
    for (std::thread& t : fetches) t.join();
    const auto total = Clock::now() - started;
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(late.load(), 0);
    EXPECT_EQ(answered + timedOut, kFetches);
    EXPECT_LT(total, 20s);
    std::printf("stress: %d answered, %d timed out, %lld ms in all\n", answered.load(),
                timedOut.load(),
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(total).count()));
  }
  EXPECT_GT(timedOut.load(), 0);
  EXPECT_GT(answered.load(), 0);
  EXPECT_TRUE(reliability::WaitUntil(
      [&] { return reliability::ThreadCount() <= threadsBefore; }, 10s))
      << reliability::ThreadCount() << " threads left, " << threadsBefore << " before";
  EXPECT_TRUE(reliability::WaitUntil(
      [&] { return reliability::OpenFdCount() <= fdsBefore; }, 10s))
      << reliability::OpenFdCount() << " descriptors open, " << fdsBefore << " before";
}

}  // namespace
}  // namespace pellora
