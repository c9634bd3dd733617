// HttpFetch against a bare libcurl easy handle doing the same GET on a new
// thread, on 127.0.0.1: a small reply, and a 64 MB body with the peak
// memory each needs (the rise of VmHWM over the resident size just before,
// after resetting the high-water mark).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "support/local_server.h"
#include "web/http_fetch.h"

namespace {

constexpr std::size_t kBigBody = std::size_t{64} << 20;
constexpr std::size_t kChunk = std::size_t{1} << 20;

pellora::testing::LocalServer& Server() {
  static pellora::testing::LocalServer* server = [] {
    auto* s = new pellora::testing::LocalServer;
    s->Http().Get("/small", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"data":{"name":"x","bal":"1"}})", "application/json");
    });
    // Streamed from one shared chunk, so the server adds little memory.
    static const std::string chunk(kChunk, 'b');
    s->Http().Get("/big", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(kBigBody, "application/octet-stream",
                               [](size_t offset, size_t length, httplib::DataSink& sink) {
                                 const size_t n = std::min(length, kChunk - offset % kChunk);
                                 sink.write(chunk.data(), n);
                                 return true;
                               });
    });
    s->Start();
    return s;
  }();
  return *server;
}

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::string BareCurlGet(const std::string& url) {
  std::string body;
  std::thread worker([&] {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
  });
  worker.join();
  return body;
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0) return std::stol(line.substr(n + 1));
  }
  return 0;
}

// Resets the high-water mark to the present resident size; returns that.
long ResetPeakKb() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}

void BM_SmallGet_HttpFetch(benchmark::State& state) {
  const std::string url = Server().Url("/small");
  for (auto _ : state) {
    benchmark::DoNotOptimize(pellora::HttpFetch(url));
  }
}
BENCHMARK(BM_SmallGet_HttpFetch)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_SmallGet_BareCurl(benchmark::State& state) {
  const std::string url = Server().Url("/small");
  curl_global_init(CURL_GLOBAL_ALL);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BareCurlGet(url));
  }
}
BENCHMARK(BM_SmallGet_BareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

template <typename Fetch>
void BigBody(benchmark::State& state, Fetch fetch) {
  const std::string url = Server().Url("/big");
  double worstRatio = 0;
  for (auto _ : state) {
    const long before = ResetPeakKb();
    const std::string body = fetch(url);
    const long peak = StatusKb("VmHWM:");
    state.PauseTiming();
    if (body.size() != kBigBody || body.find_first_not_of('b') != std::string::npos) {
      state.SkipWithError("wrong body");
    }
    state.ResumeTiming();
    worstRatio = std::max(worstRatio, (peak - before) * 1024.0 / kBigBody);
  }
  state.counters["peak_x_body"] = worstRatio;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigBody));
}

void BM_Body64MB_HttpFetch(benchmark::State& state) {
  BigBody(state, [](const std::string& url) { return pellora::HttpFetch(url); });
}
BENCHMARK(BM_Body64MB_HttpFetch)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_Body64MB_BareCurl(benchmark::State& state) {
  curl_global_init(CURL_GLOBAL_ALL);
  BigBody(state, [](const std::string& url) { return BareCurlGet(url); });
}
BENCHMARK(BM_Body64MB_BareCurl)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

BENCHMARK_MAIN();
