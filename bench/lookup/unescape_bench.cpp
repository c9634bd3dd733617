// Throughput of UnescapeText on large replies.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "lookup/unescape.h"

namespace pellora {
namespace {

// About 4 MB of reply text in which about one character in three is written
// as an escape: runs of plain ASCII (keys, numbers, Latin text with CR LF line
// ends) between runs of escapes (mostly "\u" escapes of Han characters, some
// escaped quotes, slashes and line feeds). The runs are 1..longestPlainRun and
// 1..longestEscapeRun characters long; `escapedShare` receives the share of
// characters written as escapes.
std::string MakeReply(int longestPlainRun, int longestEscapeRun, double& escapedShare) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> han(0x4E00, 0x9FA5);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> plainRun(1, longestPlainRun);
  std::uniform_int_distribution<int> escapeRun(1, longestEscapeRun);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(4 << 20);
  long plain = 0;
  long escaped = 0;
  while (out.size() < (4u << 20) - 128) {
    for (int n = plainRun(random); n > 0; --n, ++plain) {
      char c = static_cast<char>(ascii(random));
      if (c == '\\' || c == '%') c = 'x';
      if (c == '~') {
        out += "\r\n";
      } else {
        out += c;
      }
    }
    for (int n = escapeRun(random); n > 0; --n, ++escaped) {
      const int k = kind(random);
      if (k == 0) {
        out += "\\\"";
      } else if (k == 1) {
        out += "\\/";
      } else if (k == 2) {
        out += "\\n";
      } else {
        const int c = han(random);
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
      }
    }
  }
  escapedShare = static_cast<double>(escaped) / static_cast<double>(plain + escaped);
  return out;
}

void RunUnescape(benchmark::State& state, const std::string& input, double escapedShare) {
  for (auto _ : state) {
    Text out = UnescapeText(input);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
  state.counters["escaped_share"] = escapedShare;
}

void BM_UnescapeText(benchmark::State& state) {
  static double share = 0;
  static const std::string input = MakeReply(23, 11, share);
  RunUnescape(state, input, share);
}
BENCHMARK(BM_UnescapeText)->Unit(benchmark::kMillisecond);

// The hardest case for branch prediction: plain characters and escapes mixed
// one to three at a time.
void BM_UnescapeTextScattered(benchmark::State& state) {
  static double share = 0;
  static const std::string input = MakeReply(3, 1, share);
  RunUnescape(state, input, share);
}
BENCHMARK(BM_UnescapeTextScattered)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellora

BENCHMARK_MAIN();
