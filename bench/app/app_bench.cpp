// Linux only: uses the POSIX child process helper and reads /proc/<pid>/status.
// The window program as a child process on Qt's offscreen platform, driven
// through its PELLORA_DEBUG remote control:
// - start-up: from spawning the process to the window shown;
// - resident memory (VmRSS) with the window idle, and with 100 lookups in
//   flight against a local server that holds every reply back.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/app/child_process.h"
#include "tests/app/test_server.h"

namespace {

using pellora::testing::ChildProcess;
using pellora::testing::TestServer;

std::vector<std::string> WindowEnv(const std::string& host) {
  return {"QT_QPA_PLATFORM=offscreen", "PELLORA_DEBUG=1", "PELLORA_LOOKUP_HOST=" + host,
          "QT_LOGGING_RULES=*.warning=false"};
}

bool WaitShown(ChildProcess& window) {
  return !window
              .ReadLineUntil([](const std::string& l) { return l.rfind("shown ", 0) == 0; }, 20000)
              .empty();
}

// VmRSS of a process in megabytes (MiB); 0 when unreadable.
double ResidentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kb = 0;
      status >> kb;
      return kb / 1024.0;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

void Close(ChildProcess& window) {
  window.WriteLine("close");
  window.WaitExit(5000);
}

void BM_StartupToWindowShown(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ChildProcess window(PELLORA_BINARY, {}, WindowEnv("127.0.0.1:9"));
    if (!WaitShown(window)) {
      state.SkipWithError("the window did not appear");
      return;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    Close(window);
  }
}
BENCHMARK(BM_StartupToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ResidentMemoryIdle(benchmark::State& state) {
  double mb = 0;
  for (auto _ : state) {
    ChildProcess window(PELLORA_BINARY, {}, WindowEnv("127.0.0.1:9"));
    if (!WaitShown(window)) {
      state.SkipWithError("the window did not appear");
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    mb = ResidentMb(window.Pid());
    Close(window);
  }
  state.counters["rss_MB"] = mb;
}
BENCHMARK(BM_ResidentMemoryIdle)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResidentMemory100LookupsInFlight(benchmark::State& state) {
  constexpr int kLookups = 100;
  double mb = 0;
  for (auto _ : state) {
    TestServer slow(TestServer::HoldReplies{std::chrono::seconds(30), ""});
    ChildProcess window(PELLORA_BINARY, {}, WindowEnv(slow.Host()));
    if (!WaitShown(window)) {
      state.SkipWithError("the window did not appear");
      return;
    }
    window.WriteLine("type 13800138000");
    for (int i = 0; i < kLookups; ++i) window.WriteLine("click");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (slow.Requests() < kLookups && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (slow.Requests() < kLookups) {
      state.SkipWithError("not every lookup reached the server");
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    mb = ResidentMb(window.Pid());
    Close(window);
  }
  state.counters["rss_MB"] = mb;
}
BENCHMARK(BM_ResidentMemory100LookupsInFlight)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
