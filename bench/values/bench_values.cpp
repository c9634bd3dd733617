// Throughput of the text operations on 64 MB inputs. FindText runs next to
// memmem on the same data; the "vs_memmem" counter is FindText's throughput
// divided by memmem's (best run of each, measured in the same process).
// The memory stream's round trip of a 64 MB body, copying and moving, reports
// its peak heap use as a multiple of the body ("peak_x_body").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "values/memory_stream.h"
#include "values/text_ops.h"

// Counts live heap bytes for the whole program (the library's allocations
// included) by replacing the global allocation functions.
namespace heap {
std::atomic<int64_t> live{0};
std::atomic<int64_t> peak{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &size, sizeof size);
  const int64_t now = live += static_cast<int64_t>(size);
  int64_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return block + kHeader;
}

void Release(void* p) {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  live -= static_cast<int64_t>(size);
  std::free(block);
}
}  // namespace heap

void* operator new(std::size_t size) { return heap::Allocate(size); }
void* operator new[](std::size_t size) { return heap::Allocate(size); }
void operator delete(void* p) noexcept { heap::Release(p); }
void operator delete[](void* p) noexcept { heap::Release(p); }
void operator delete(void* p, std::size_t) noexcept { heap::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::Release(p); }

namespace {

constexpr std::size_t kSize = 64u << 20;

// A small deterministic generator, so every run sees the same data.
class Lcg {
 public:
  explicit Lcg(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

void AppendDigits(std::string& out, Lcg& rng, int count) {
  // Digits 0-7 only: the needles below use 9s so they occur once.
  for (int k = 0; k < count; ++k) out.push_back(static_cast<char>('0' + rng.Below(8)));
}

const char kJsonNeedle[] = "\"time\":\"2099-";

// JSON-like reply records, mostly ASCII with a few GBK names and escapes; the
// needle occurs once, in the last record.
const std::string& JsonText() {
  static const std::string text = [] {
    static const char* const kNames[] = {"\xD5\xC5\xC8\xFD", "\xC0\xEE\xCB\xC4", "\\u738b\\u4e94",
                                         "Zhao Liu"};
    Lcg rng(1);
    std::string out;
    out.reserve(kSize + 256);
    while (out.size() < kSize - 512) {
      out += "{\"code\":200,\"data\":{\"name\":\"";
      out += kNames[rng.Below(4)];
      out += "\",\"bal\":\"";
      AppendDigits(out, rng, 3);
      out += ".";
      AppendDigits(out, rng, 2);
      out += "\",\"poi\":\"";
      AppendDigits(out, rng, 4);
      out += "\",\"con\":\"";
      AppendDigits(out, rng, 2);
      out += "\",\"tips\":null},\"time\":\"2026-";
      AppendDigits(out, rng, 2);
      out += "-";
      AppendDigits(out, rng, 2);
      out += "\"}\n";
    }
    out += "{\"code\":200,\"data\":{\"name\":\"end\"},\"time\":\"2099-01-01\"}\n";
    return out;
  }();
  return text;
}

const char kCjkNeedle[] =
    "\xD6\xD0\xCE\xC4"
    "2099";

// Runs of GBK characters with full-width commas, some digits and line ends;
// the needle occurs once, near the end.
const std::string& CjkText() {
  static const std::string text = [] {
    Lcg rng(2);
    std::string out;
    out.reserve(kSize + 64);
    while (out.size() < kSize - 64) {
      const uint32_t run = 8 + rng.Below(40);
      for (uint32_t k = 0; k < run; ++k) {
        out.push_back(static_cast<char>(0xB0 + rng.Below(0xF7 - 0xB0 + 1)));
        out.push_back(static_cast<char>(0xA1 + rng.Below(0xFE - 0xA1 + 1)));
      }
      switch (rng.Below(4)) {
        case 0:
          out += "\xA3\xAC";
          break;  // full-width comma
        case 1:
          AppendDigits(out, rng, 3);
          break;
        case 2:
          out += "\r\n";
          break;
        default:
          out += "\xA1\xA3";
          break;  // ideographic full stop
      }
    }
    out += "x";
    out += kCjkNeedle;
    out += "\xA1\xA3";
    return out;
  }();
  return text;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double BestMemmemSeconds(const std::string& text, const char* needle) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    const auto t0 = Clock::now();
    const void* hit = memmem(text.data(), text.size(), needle, std::strlen(needle));
    benchmark::DoNotOptimize(hit);
    best = std::min(best, Seconds(Clock::now() - t0));
  }
  return best;
}

void RunFindText(benchmark::State& state, const std::string& text, const char* needle,
                 bool ignoreCase) {
  const double memmemBest = BestMemmemSeconds(text, needle);
  const int expected =
      static_cast<int>(
          static_cast<const char*>(memmem(text.data(), text.size(), needle, std::strlen(needle))) -
          text.data()) +
      1;
  double best = 1e9;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const int found = pellora::FindText(text, needle, 1, ignoreCase);
    best = std::min(best, Seconds(Clock::now() - t0));
    benchmark::DoNotOptimize(found);
    if (found != expected) state.SkipWithError("FindText found the wrong place");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["vs_memmem"] = memmemBest / best;
}

void RunMemmem(benchmark::State& state, const std::string& text, const char* needle) {
  const std::size_t m = std::strlen(needle);
  for (auto _ : state) {
    const void* hit = memmem(text.data(), text.size(), needle, m);
    benchmark::DoNotOptimize(hit);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_FindText_Json(benchmark::State& state) {
  RunFindText(state, JsonText(), kJsonNeedle, false);
}
void BM_Memmem_Json(benchmark::State& state) { RunMemmem(state, JsonText(), kJsonNeedle); }
void BM_FindTextIgnoreCase_Json(benchmark::State& state) {
  RunFindText(state, JsonText(), kJsonNeedle, true);
}
void BM_FindText_Cjk(benchmark::State& state) { RunFindText(state, CjkText(), kCjkNeedle, false); }
void BM_Memmem_Cjk(benchmark::State& state) { RunMemmem(state, CjkText(), kCjkNeedle); }

void BM_ReplaceSubtext_Json(benchmark::State& state) {
  const std::string& text = JsonText();
  for (auto _ : state) {
    std::string out = pellora::ReplaceSubtext(text, "\"bal\"", "\"balance\"");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_ReplaceSubtext_Cjk(benchmark::State& state) {
  const std::string& text = CjkText();
  for (auto _ : state) {
    std::string out = pellora::ReplaceSubtext(text, "\xA3\xAC", ",");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_TrimBoth_Cjk(benchmark::State& state) {
  // Blanks at both ends around CJK text: the trailing run is found without
  // stepping over the whole text, so the copy dominates.
  const std::string text = "  \xA1\xA1" + CjkText() + "\xA1\xA1  ";
  for (auto _ : state) {
    std::string out = pellora::TrimBoth(text);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

// The exchange of a fetch: a seven-element block with a 64 MB body written
// into a stream, read back into a fresh array, and the stream closed. The
// source block stays alive throughout, so 3x the body is the floor here.
void BM_StreamRoundTrip(benchmark::State& state) {
  pellora::ByteStringArray block(7);
  block[1] = "200";
  block[2] = std::string(kSize, 'b');
  block[3] = "Content-Type: text/plain\r\n";
  double worst = 0;
  for (auto _ : state) {
    const int64_t before = heap::live.load();
    heap::peak.store(before);
    const pellora::StreamHandle h = pellora::OpenMemoryStream();
    pellora::ByteStringArray reply(7);
    if (!pellora::StreamWriteData(h, block) || !pellora::StreamSeekToStart(h) ||
        !pellora::StreamReadData(h, reply) || reply[2].size() != kSize)
      state.SkipWithError("stream round trip failed");
    pellora::CloseStream(h);
    worst = std::max(worst, static_cast<double>(heap::peak.load() - before));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
  state.counters["peak_x_body"] = (worst + static_cast<double>(kSize)) / kSize;
}

// The same exchange with the moving forms the fetch uses: the body's buffer
// goes into the stream and comes back out without a copy. The block is made
// afresh (outside the timing) for every round, since the write takes it over.
void BM_StreamRoundTripMoving(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pellora::ByteStringArray block(7);
    block[1] = "200";
    block[2] = std::string(kSize, 'b');
    block[3] = "Content-Type: text/plain\r\n";
    const int64_t before = heap::live.load();
    heap::peak.store(before);
    state.ResumeTiming();
    const pellora::StreamHandle h = pellora::OpenMemoryStream();
    pellora::ByteStringArray reply(7);
    if (!pellora::StreamWriteData(h, std::move(block)) || !pellora::StreamSeekToStart(h) ||
        !pellora::StreamTakeData(h, reply) || reply[2].size() != kSize)
      state.SkipWithError("stream round trip failed");
    pellora::CloseStream(h);
    worst = std::max(worst, static_cast<double>(heap::peak.load() - before));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
  // The body alive before the round trip counts once, as above.
  state.counters["peak_x_body"] = (worst + static_cast<double>(kSize)) / kSize;
}

BENCHMARK(BM_FindText_Json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem_Json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindTextIgnoreCase_Json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindText_Cjk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem_Cjk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceSubtext_Json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceSubtext_Cjk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimBoth_Cjk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamRoundTripMoving)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
