#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "values/memory_stream.h"

namespace pellora {
namespace {

// Many threads open, write, read back and close their own streams at once:
// each must get its own data back and a handle no other open stream holds.
TEST(StreamConcurrencyTest, ParallelOpenWriteReadClose) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 300;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < kRounds; ++round) {
        const StreamHandle h = OpenMemoryStream();
        ByteStringArray block(7);
        for (int k = 1; k <= 7; ++k)
          block[k] = std::to_string(t) + ":" + std::to_string(round) + ":" +
                     std::string(static_cast<std::size_t>(k * 13), 'x');
        bool ok = h != 0 && StreamWriteData(h, block) && StreamSeekToStart(h);
        ByteStringArray read(7);
        ok = ok && StreamReadData(h, read);
        for (int k = 1; ok && k <= 7; ++k) ok = read[k] == block[k];
        CloseStream(h);
        ok = ok && !StreamSeekToStart(h);
        if (!ok) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

// A stream handed to another thread is closed by its opener while the other
// thread is still using it: the user sees either the stream or an invalid
// handle, never freed memory (the sanitizer builds check the latter).
TEST(StreamConcurrencyTest, CloseRacesWithUse) {
  constexpr int kRounds = 2000;
  std::atomic<StreamHandle> shared{0};
  std::atomic<bool> done{false};
  std::thread user([&] {
    while (!done.load()) {
      const StreamHandle h = shared.load();
      if (h == 0) continue;
      // Only this thread touches the stream's contents.
      (void)StreamAtEnd(h, true);
      (void)StreamReadLine(h);
      (void)StreamWriteText(h, "more\n");
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    const StreamHandle h = OpenMemoryStream();
    ASSERT_NE(h, 0);
    shared.store(h);
    std::this_thread::yield();
    shared.store(0);
    CloseStream(h);
  }
  done.store(true);
  user.join();
}

}  // namespace
}  // namespace pellora
