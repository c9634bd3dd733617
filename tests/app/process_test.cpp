// POSIX only: uses wait statuses, signals and setenv/unsetenv.
// The real programs as child processes: the demo service over HTTP, and the
// window program (offscreen, driven through its PELLORA_DEBUG remote control).
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "app/lookup_host.h"
#include "child_process.h"
#include "test_server.h"

namespace pellora {
namespace {

using testing::ChildProcess;
using testing::TestServer;

constexpr int kStartMs = 10000;  // generous: the machine may be busy

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// Starts the demo service on a free port; returns its port, or 0.
int StartDemo(ChildProcess& demo) {
  const std::string line = demo.ReadLineUntil(
      [](const std::string& l) { return l.find("listening on 127.0.0.1:") != std::string::npos; },
      kStartMs);
  if (line.empty()) return 0;
  return std::atoi(line.c_str() + line.find("127.0.0.1:") + 10);
}

std::vector<std::string> WindowEnv(const std::string& host) {
  return {"QT_QPA_PLATFORM=offscreen", "PELLORA_DEBUG=1", "PELLORA_LOOKUP_HOST=" + host};
}

bool WaitShown(ChildProcess& window) {
  return !window
              .ReadLineUntil([](const std::string& l) { return StartsWith(l, "shown "); }, kStartMs)
              .empty();
}

TEST(DemoServiceTest, AnswersInTheServiceReplyFormat) {
  ChildProcess demo(PELLORA_DEMO_BINARY, {"--port", "0"});
  const int port = StartDemo(demo);
  ASSERT_GT(port, 0);
  httplib::Client client("127.0.0.1", port);

  auto known = client.Get("/10086/13800138000");
  ASSERT_TRUE(known);
  EXPECT_EQ(known->status, 200);
  EXPECT_TRUE(std::regex_match(
      known->body, std::regex(R"(\{"data":\{"name":"\\u5f20\\u4e09","bal":"58\.20","poi":"1200",)"
                              R"("con":"36\.50","tips":null\},"time":[0-9]+\})")))
      << known->body;

  auto latin = client.Get("/10086/13700000007");
  ASSERT_TRUE(latin);
  EXPECT_NE(latin->body.find(R"("name":"Li Lei","bal":"12.34")"), std::string::npos);

  auto unknown = client.Get("/10086/12345");
  ASSERT_TRUE(unknown);
  EXPECT_TRUE(std::regex_match(
      unknown->body,
      std::regex(
          R"(\{"data":\{"name":"","bal":"","poi":"","con":"","tips":null\},"time":[0-9]+\})")))
      << unknown->body;

  auto elsewhere = client.Get("/other");
  ASSERT_TRUE(elsewhere);
  EXPECT_EQ(elsewhere->status, 404);
}

TEST(DemoServiceTest, RefusesBadOptions) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "70000"},
                                               {"--port", "x"},
                                               {"--port"},
                                               {"--what", "1"},
                                               {"--delay-ms", "-1"}}) {
    ChildProcess demo(PELLORA_DEMO_BINARY, args);
    const int status = demo.WaitExit(kStartMs);
    ASSERT_TRUE(WIFEXITED(status)) << args[0];
    EXPECT_EQ(WEXITSTATUS(status), 2) << args[0];
  }
  ChildProcess missing(PELLORA_DEMO_BINARY, {"--port", "0", "--data", "/nonexistent/file"});
  const int status = missing.WaitExit(kStartMs);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// A stop signal ends the service cleanly (status 0) within a moment.
class DemoServiceStopTest : public ::testing::TestWithParam<int> {};

TEST_P(DemoServiceStopTest, EndsWithStatusZero) {
  ChildProcess demo(PELLORA_DEMO_BINARY, {"--port", "0"});
  const int port = StartDemo(demo);
  ASSERT_GT(port, 0);
  ASSERT_EQ(kill(demo.Pid(), GetParam()), 0);
  const int status = demo.WaitExit(3000);
  ASSERT_NE(status, -1) << "still running 3 s after the signal";
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(IntAndTerm, DemoServiceStopTest, ::testing::Values(SIGINT, SIGTERM));

// A clean stop waits for replies being held back; a second signal does not.
TEST(DemoServiceTest, SecondStopSignalEndsItWhileAReplyIsHeldBack) {
  ChildProcess demo(PELLORA_DEMO_BINARY, {"--port", "0", "--delay-ms", "60000"});
  const int port = StartDemo(demo);
  ASSERT_GT(port, 0);
  std::thread asking([port] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(10));
    (void)client.Get("/10086/13800138000");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // the request is in
  ASSERT_EQ(kill(demo.Pid(), SIGTERM), 0);
  EXPECT_EQ(demo.WaitExit(500), -1) << "the held reply was cut short";
  ASSERT_EQ(kill(demo.Pid(), SIGTERM), 0);
  const int status = demo.WaitExit(3000);
  asking.join();
  ASSERT_NE(status, -1);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

// A scratch folder, removed with its contents when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("pellora-process-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Without --data the service reads the accounts an install puts beside it
// (<prefix>/share/pellora/demo-accounts.tsv for <prefix>/bin), and else the
// accounts of the source tree it was built from.
TEST(DemoServiceTest, FindsItsInstalledDataBesideItAndElseTheSourceTreeData) {
  struct Row {
    const char* name;
    bool installedData;
    const char* number;
    const char* nameField;
  };
  for (const Row& row :
       {Row{"installed layout", true, "19900000001", R"("name":"Installed")"},
        Row{"installed layout, source number", true, "13800138000", R"("name":"")"},
        Row{"no data beside it", false, "13800138000", R"("name":"\u5f20\u4e09")"}}) {
    SCOPED_TRACE(row.name);
    ScratchDir prefix;
    const std::filesystem::path bin = prefix.Path() / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(PELLORA_DEMO_BINARY, bin / "pellora-demo-service");
    if (row.installedData) {
      std::filesystem::create_directories(prefix.Path() / "share" / "pellora");
      std::ofstream(prefix.Path() / "share" / "pellora" / "demo-accounts.tsv")
          << "# scratch accounts\n19900000001\tInstalled\t1.00\t2\t3.00\n";
    }
    ChildProcess demo((bin / "pellora-demo-service").string(), {"--port", "0"});
    const int port = StartDemo(demo);
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    auto reply = client.Get(std::string("/10086/") + row.number);
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->body.find(row.nameField), std::string::npos) << reply->body;
  }
}

TEST(ProgramTest, LooksUpADemoNumberAndEscEndsIt) {
  ChildProcess demo(PELLORA_DEMO_BINARY, {"--port", "0"});
  const int port = StartDemo(demo);
  ASSERT_GT(port, 0);
  ChildProcess window(PELLORA_BINARY, {}, WindowEnv("127.0.0.1:" + std::to_string(port)));
  ASSERT_TRUE(WaitShown(window));
  window.WriteLine("type 13800138000");
  window.WriteLine("click");
  const std::string shown = window.ReadLineUntil(
      [](const std::string& l) { return l.find("名字：") != std::string::npos; }, 5000);
  EXPECT_EQ(shown,
            "log 手机号：13800138000\\n名字：张三\\n余额：58.20\\n积分：1200\\n当前消费：36.50"
            "\\n温馨提示：以上数据来自于互联网，请勿用作非法用途。");
  window.WriteLine("esc");
  const int status = window.WaitExit(2000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Closing the window while lookups wait on a server that answers only after
// ten seconds ends the process at once, with status 0.
class ExitDuringLookupTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ExitDuringLookupTest, EndsWithinASecond) {
  TestServer holding(TestServer::HoldReplies{std::chrono::seconds(10), ""});
  ChildProcess window(PELLORA_BINARY, {}, WindowEnv(holding.Host()));
  ASSERT_TRUE(WaitShown(window));
  window.WriteLine("type 13800138000");
  for (int i = 0; i < 3; ++i) window.WriteLine("click");
  const int64_t deadline = NowMs() + kStartMs;
  while (holding.Requests() < 3 && NowMs() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(holding.Requests(), 3);

  const int64_t start = NowMs();
  window.WriteLine(GetParam());
  const int status = window.WaitExit(5000);
  const int64_t took = NowMs() - start;
  ASSERT_NE(status, -1) << "still running after 5 s";
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(took, 1000);
}

INSTANTIATE_TEST_SUITE_P(CloseOrEsc, ExitDuringLookupTest, ::testing::Values("close", "esc"));

TEST(LookupHostTest, EnvironmentOverridesTheBuiltInDefault) {
  unsetenv("PELLORA_LOOKUP_HOST");
  EXPECT_EQ(LookupHost(), PELLORA_BUILT_IN_HOST);
  setenv("PELLORA_LOOKUP_HOST", "", 1);
  EXPECT_EQ(LookupHost(), PELLORA_BUILT_IN_HOST);
  setenv("PELLORA_LOOKUP_HOST", "lookup.example:8080", 1);
  EXPECT_EQ(LookupHost(), "lookup.example:8080");
  unsetenv("PELLORA_LOOKUP_HOST");
}

}  // namespace
}  // namespace pellora
