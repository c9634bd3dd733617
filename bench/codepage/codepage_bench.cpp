// Throughput of the code-page conversions, with a bare ICU conversion and
// glibc's iconv on the same input as yardsticks for Utf8ToAnsi.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>

#include "codepage/codepage.h"

namespace pellora {
namespace {

// Mixed Chinese UTF-8: runs of common Han characters between runs of ASCII,
// about two Han characters to one ASCII character.
const std::string& MixedUtf8() {
  static const std::string text = [] {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> han(0x4E00, 0x9FA5);
    std::uniform_int_distribution<int> ascii(0x20, 0x7E);
    std::uniform_int_distribution<int> run(1, 12);
    std::string out;
    out.reserve(16 << 20);
    while (out.size() < (16u << 20) - 64) {
      for (int n = run(random) * 2; n > 0; --n) {
        const int c = han(random);
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
      for (int n = run(random); n > 0; --n) out += static_cast<char>(ascii(random));
    }
    return out;
  }();
  return text;
}

// 4 MB of Big5: common characters (lead bytes 0xA4-0xC6) mixed with ASCII.
const std::string& Big5Text() {
  static const std::string text = [] {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> lead(0xA4, 0xC5);
    std::uniform_int_distribution<int> trail(0, 62 + 94 - 1);
    std::uniform_int_distribution<int> ascii(0x20, 0x7E);
    std::uniform_int_distribution<int> pick(0, 3);
    std::string out;
    out.reserve(4 << 20);
    while (out.size() < (4u << 20) - 2) {
      if (pick(random) == 0) {
        out += static_cast<char>(ascii(random));
      } else {
        const int t = trail(random);
        out += static_cast<char>(lead(random));
        out += static_cast<char>(t < 63 ? 0x40 + t : 0xA1 + (t - 63));
      }
    }
    return out;
  }();
  return text;
}

void BM_Utf8ToAnsi(benchmark::State& state) {
  const std::string& input = MixedUtf8();
  for (auto _ : state) {
    Text out = Utf8ToAnsi(input);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
}
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond);

// The same conversion as a single ucnv_convertEx call into a buffer made once.
void BM_BareIcuConvertEx(benchmark::State& state) {
  const std::string& input = MixedUtf8();
  UErrorCode status = U_ZERO_ERROR;
  UConverter* utf8 = ucnv_open("UTF-8", &status);
  UConverter* gbk = ucnv_open("windows-936-2000", &status);
  std::string out(input.size() + 1, '\0');
  for (auto _ : state) {
    char* target = out.data();
    const char* source = input.data();
    status = U_ZERO_ERROR;
    ucnv_convertEx(gbk, utf8, &target, out.data() + out.size(), &source,
                   input.data() + input.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                   &status);
    benchmark::DoNotOptimize(target);
  }
  if (U_FAILURE(status)) state.SkipWithError(u_errorName(status));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
  ucnv_close(utf8);
  ucnv_close(gbk);
}
BENCHMARK(BM_BareIcuConvertEx)->Unit(benchmark::kMillisecond);

void BM_GlibcIconv(benchmark::State& state) {
  const std::string& input = MixedUtf8();
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv has no GBK");
    return;
  }
  std::string out(input.size() + 1, '\0');
  for (auto _ : state) {
    char* source = const_cast<char*>(input.data());
    size_t sourceLeft = input.size();
    char* target = out.data();
    size_t targetLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &source, &sourceLeft, &target, &targetLeft);
    benchmark::DoNotOptimize(target);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
  iconv_close(cd);
}
BENCHMARK(BM_GlibcIconv)->Unit(benchmark::kMillisecond);

void BM_Big5ToGbk(benchmark::State& state) {
  const std::string& input = Big5Text();
  for (auto _ : state) {
    Text out = Big5ToGbk(input);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
}
BENCHMARK(BM_Big5ToGbk)->Unit(benchmark::kMillisecond);

void BM_AnsiToUtf8(benchmark::State& state) {
  static const std::string input = Utf8ToAnsi(MixedUtf8());
  for (auto _ : state) {
    std::string out = AnsiToUtf8(input);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * input.size());
}
BENCHMARK(BM_AnsiToUtf8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellora

BENCHMARK_MAIN();
