// The fetch against local peers that fail in the ways a server can: each
// fault ends in its defined result (a body or a prefix of it, the empty body,
// the time-out text; at the lookup the not-found text) within its time
// limit, and leaves no thread or socket of the fetch behind.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "lookup/run_lookup.h"
#include "process_census.h"
#include "support/local_server.h"
#include "support/raw_peer.h"
#include "support/tiny_proxy.h"
#include "support/tls_files.h"
#include "web/http_fetch.h"
#include "web/internal/curl_support.h"

namespace pellora {
namespace {

using namespace std::chrono_literals;
using reliability::OpenFdCount;
using reliability::ThreadCount;
using reliability::WaitUntil;
using testing::HttpResponse;
using testing::RawPeer;
using testing::RawReply;

using Clock = std::chrono::steady_clock;

struct Timed {
  ByteString body;
  long long ms = 0;
};

Timed TimedFetch(const std::string& url, int timeoutSeconds, Text* headers = nullptr,
                 Text* cookies = nullptr) {
  const auto start = Clock::now();
  Timed t;
  t.body = HttpFetch(url, 0, {}, {}, {}, {}, timeoutSeconds, headers, 0, cookies);
  t.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return t;
}

std::string ClosedPortUrl() {
  return "http://127.0.0.1:" + std::to_string(testing::FreeLoopbackPort()) + "/";
}

bool IsPrefix(const std::string& part, const std::string& whole) {
  return whole.compare(0, part.size(), part) == 0 && part.size() <= whole.size();
}

// Takes a census of threads and descriptors before each test (after one
// warm-up fetch, so libcurl's process-wide state already exists) and checks
// afterwards that the fetch left nothing behind. Peers and servers live in
// the test body and are gone by then; a worker stopped at a time-out is given
// a few seconds to notice.
class FetchCensusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)HttpFetch(ClosedPortUrl(), 0, {}, {}, {}, {}, 5);
    threads_ = ThreadCount();
    fds_ = OpenFdCount();
  }

  void TearDown() override {
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threads_; }, 5s))
        << ThreadCount() << " threads, " << threads_ << " before";
    EXPECT_TRUE(WaitUntil([&] { return OpenFdCount() <= fds_; }, 5s))
        << OpenFdCount() << " descriptors open, " << fds_ << " before";
  }

  // True once no more than `extra` threads beyond the census are running.
  bool ThreadsSettleAt(int extra, std::chrono::milliseconds limit) const {
    return WaitUntil([&] { return ThreadCount() <= threads_ + extra; }, limit);
  }

 private:
  int threads_ = 0;
  int fds_ = 0;
};

enum class Outcome {
  kExact,        // the body `expected`
  kPrefix,       // a prefix of `expected`, possibly empty
  kEmpty,        // the empty body
  kTimeoutText,  // the time-out text
};

struct FaultCase {
  const char* name;
  bool listen;       // false: nobody listens on the port
  RawReply reply;    // what the peer sends
  int timeoutSeconds;
  Outcome outcome;
  std::string expected;
  long long minMs;   // the fetch takes at least ...
  long long maxMs;   // ... and at most this long
};

std::string Digits(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('0' + i % 10);
  return s;
}

RawReply Reply(std::string bytes, RawReply::End end = RawReply::End::kClose) {
  RawReply r;
  r.bytes = std::move(bytes);
  r.end = end;
  return r;
}

RawReply Drip(std::string bytes, std::chrono::milliseconds pause) {
  RawReply r = Reply(std::move(bytes));
  r.dripChunk = 1;
  r.dripPause = pause;
  return r;
}

const char kHtml[] = "<html><body><h1>500 Internal Server Error</h1></body></html>";

std::vector<FaultCase> FaultCases() {
  const std::string full = Digits(2000);
  const std::string head2000 = "HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n";
  return {
      {"ConnectionRefused", false, {}, 10, Outcome::kEmpty, "", 0, 3000},
      {"ResetInTheMiddleOfTheBody", true,
       Reply(head2000 + full.substr(0, 1000), RawReply::End::kReset), 10, Outcome::kPrefix, full,
       0, 3000},
      {"ClosedBeforeTheBodyEnds", true, Reply(head2000 + full.substr(0, 10)), 10, Outcome::kPrefix,
       full, 0, 3000},
      {"DripsAByteASecondUntilTheTimeOut", true,
       Drip(HttpResponse(Digits(64)), 1000ms), 2, Outcome::kTimeoutText, "", 2000, 4000},
      {"SilentUntilTheTimeOut", true, Reply("", RawReply::End::kKeepOpen), 1,
       Outcome::kTimeoutText, "", 1000, 3000},
      {"ZeroTimeOutAnswersAtOnce", true, Reply("", RawReply::End::kKeepOpen), 0,
       Outcome::kTimeoutText, "", 0, 1000},
      {"BrokenChunkedEncoding", true,
       Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\nmore"), 10,
       Outcome::kPrefix, "hello", 0, 3000},
      {"ChunkSizeBeyondAnyNumber", true,
       Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
             "FFFFFFFFFFFFFFFFFFFFFFFF\r\nabc"),
       10, Outcome::kPrefix, "abc", 0, 3000},
      {"ClosesWithoutAnswering", true, Reply(""), 10, Outcome::kEmpty, "", 0, 3000},
      {"ResetsWithoutAnswering", true, Reply("", RawReply::End::kReset), 10, Outcome::kEmpty, "",
       0, 3000},
      {"AnswersWithSomethingThatIsNotHttp", true, Reply("\x16\x03\x01garbage\r\n\r\n"), 10,
       Outcome::kEmpty, "", 0, 3000},
      {"ServerErrorWithAnHtmlBody", true,
       Reply(HttpResponse(kHtml, "Content-Type: text/html\r\n", "500 Internal Server Error")), 10,
       Outcome::kExact, kHtml, 0, 3000},
  };
}

class FetchFaultMatrixTest : public FetchCensusTest,
                             public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FetchFaultMatrixTest, EndsInItsDefinedResultInTime) {
  const FaultCase& c = GetParam();
  Timed t;
  if (c.listen) {
    RawPeer peer(c.reply);
    t = TimedFetch(peer.Url("/fault"), c.timeoutSeconds);
    if (c.outcome == Outcome::kTimeoutText) {
      // The peer goes on dripping or waiting; the abandoned worker must stop
      // by itself all the same. Only the peer's accept loop remains then.
      EXPECT_TRUE(ThreadsSettleAt(1, 3s)) << "the stopped worker is still running";
    }
  } else {
    t = TimedFetch(ClosedPortUrl(), c.timeoutSeconds);
  }
  switch (c.outcome) {
    case Outcome::kExact:
      EXPECT_EQ(t.body, c.expected);
      break;
    case Outcome::kPrefix:
      EXPECT_TRUE(IsPrefix(t.body, c.expected)) << "body of " << t.body.size() << " bytes";
      break;
    case Outcome::kEmpty:
      EXPECT_EQ(t.body, "");
      break;
    case Outcome::kTimeoutText:
      EXPECT_EQ(t.body, FetchTimeoutText());
      break;
  }
  EXPECT_GE(t.ms, c.minMs);
  EXPECT_LE(t.ms, c.maxMs);
}

INSTANTIATE_TEST_SUITE_P(Faults, FetchFaultMatrixTest, ::testing::ValuesIn(FaultCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// 10 MB of reply headers: more than the client accepts, so the head never
// completes. The fetch ends soon with no body and the 2048 blanks of
// headers not to be had, holding on to none of the megabytes.
TEST_F(FetchCensusTest, TenMegabytesOfReplyHeaders) {
  RawPeer peer([](const std::string&) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    const std::string filler = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    while (head.size() < (10u << 20)) head += filler;
    return Reply(head + "Content-Length: 2\r\n\r\nok");
  });
  Text headers = "untouched";
  Text cookies = "untouched";
  const Timed t = TimedFetch(peer.Url("/big"), 30, &headers, &cookies);
  EXPECT_TRUE(t.body.empty()) << t.body.substr(0, 80);
  // Checked as a truth value: a failure must not print megabytes.
  EXPECT_TRUE(headers == std::string(2048, ' ')) << headers.substr(0, 60);
  EXPECT_EQ(cookies, "");
  EXPECT_LT(t.ms, 30000);
}

// A 0x1A byte in the reply headers ends the header text for the cookie
// gathering: the cookies before it are kept, the reading ends, the body
// comes back whole.
TEST_F(FetchCensusTest, SubstituteByteInReplyHeaders) {
  RawPeer peer(Reply(HttpResponse("body",
                                  "Set-Cookie: a=1; path=/\r\n"
                                  "X-Odd: \x1a\r\n"
                                  "Set-Cookie: b=2; path=/\r\n")));
  Text cookies;
  const Timed t = TimedFetch(peer.Url("/sub"), 10, nullptr, &cookies);
  EXPECT_EQ(t.body, "body");
  EXPECT_EQ(cookies, "a=1;");
  EXPECT_LT(t.ms, 3000);
}

// Every request is answered with a redirect to the next one: the fetch
// gives up after a bounded number of hops, long before its time-out.
TEST_F(FetchCensusTest, EndlessRedirectLoop) {
  std::atomic<int> hops{0};
  RawPeer peer([&](const std::string&) {
    const int n = ++hops;
    return Reply(
        HttpResponse("moved", "Location: /loop/" + std::to_string(n) + "\r\n", "302 Found"));
  });
  const Timed t = TimedFetch(peer.Url("/loop/0"), 20);
  EXPECT_TRUE(t.body.empty() || t.body == "moved") << t.body.substr(0, 80);
  EXPECT_NE(t.body, FetchTimeoutText());
  EXPECT_LE(hops.load(), 11);
  EXPECT_LT(t.ms, 10000);
}

// A server whose certificate no one vouches for is refused: no request
// reaches it and the body is empty. The same server with a trusted
// certificate answers, so the refusal is the verification's doing.
TEST_F(FetchCensusTest, InvalidTlsCertificateIsRefused) {
  const testing::TlsFiles& files = testing::TestTlsFiles();
  internal::SetTrustedCaFile(files.caCert);
  std::atomic<int> reached{0};
  {
    testing::LocalServer rogue(files.rogueCert, files.rogueKey);
    rogue.Http().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
      ++reached;
      response.set_content("secret", "text/plain");
    });
    rogue.Start();
    const Timed t = TimedFetch(rogue.Url("/"), 10);
    EXPECT_EQ(t.body, "");
    EXPECT_EQ(reached.load(), 0);
  }
  {
    testing::LocalServer trusted(files.serverCert, files.serverKey);
    trusted.Http().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
      response.set_content("fine", "text/plain");
    });
    trusted.Start();
    EXPECT_EQ(TimedFetch(trusted.Url("/"), 10).body, "fine");
  }
  internal::SetTrustedCaFile("");
}

// At the lookup, every reply from which no name can be cut (and every
// failure of the fetch) ends in the not-found text, never in an empty text.
struct BadReply {
  const char* name;
  std::string reply;  // the raw bytes the peer sends
};

class LookupFaultTest : public FetchCensusTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(LookupFaultTest, EndsInTheNotFoundText) {
  RawPeer peer(Reply(GetParam().reply));
  Text stored = "nothing stored";
  int stores = 0;
  LookupHooks hooks;
  hooks.host = peer.HostPort();
  hooks.readNumber = [] { return Text("13800138000"); };
  hooks.storeResult = [&](Text text) {
    stored = std::move(text);
    ++stores;
  };
  RunLookup(hooks);
  EXPECT_EQ(stores, 1);
  EXPECT_EQ(stored, NotFoundText());
}

std::vector<BadReply> BadReplies() {
  return {
      {"ServerErrorWithAnHtmlBody",
       HttpResponse(kHtml, "Content-Type: text/html\r\n", "500 Internal Server Error")},
      {"BodyIsNotJson", HttpResponse("Service temporarily unavailable")},
      {"JsonNull", HttpResponse("null")},
      {"DataIsNull", HttpResponse("{\"data\":null,\"time\":1}")},
      {"TruncatedJson", HttpResponse("{\"data\":{\"name\":\"\\u5f20")},
      {"EmptyBody", HttpResponse("")},
      {"BlanksBetweenTokens", HttpResponse("{\"data\": {\"name\": \"x\", \"bal\": \"1\"}}")},
      {"InvalidEscapes", HttpResponse("{\"data\":{\"name\":\"\\u12\\x\\\", \"bal\":\"")},
      {"BinaryBody", HttpResponse(std::string("\x00\xff\xfe{\"data\"", 10))},
      {"NoAnswerAtAll", ""},
  };
}

INSTANTIATE_TEST_SUITE_P(Replies, LookupFaultTest, ::testing::ValuesIn(BadReplies()),
                         [](const auto& info) { return std::string(info.param.name); });

// A lookup whose fetch timed out gets the time-out text as its body, which
// holds no name either.
TEST(LookupTimeoutTest, TimeOutTextEndsInTheNotFoundText) {
  EXPECT_EQ(LookupResultText(FetchTimeoutText(), [] { return Text("1"); }), NotFoundText());
}

}  // namespace
}  // namespace pellora
