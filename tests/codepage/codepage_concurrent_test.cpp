#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "codepage/codepage.h"

namespace pellora {
namespace {

// Threads that convert at the same time, the first of them racing to build the
// shared tables, all get the single-threaded results.
TEST(CodepageConcurrency, ThreadsShareConvertersSafely) {
  std::string utf8;
  std::string big5;
  for (int k = 0; k < 2000; ++k) {
    utf8 += "x\xE4\xB8\xAD\xE6\x96\x87\xC0";
    big5 += "y\xB8\xB9\xBD\x58\xA4";
  }
  std::vector<std::string> utf8Results(6);
  std::vector<std::string> big5Results(6);
  std::vector<std::string> backResults(6);
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        utf8Results[t] = Utf8ToAnsi(utf8);
        big5Results[t] = Big5ToGbk(big5);
        backResults[t] = AnsiToUtf8(utf8Results[t]);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string utf8Expected = Utf8ToAnsi(utf8);
  const std::string big5Expected = Big5ToGbk(big5);
  for (int t = 0; t < 6; ++t) {
    EXPECT_EQ(utf8Results[t], utf8Expected);
    EXPECT_EQ(big5Results[t], big5Expected);
    EXPECT_EQ(backResults[t], AnsiToUtf8(utf8Expected));
  }
  EXPECT_EQ(utf8Expected.substr(0, 6), "x\xD6\xD0\xCE\xC4?");
}

}  // namespace
}  // namespace pellora
