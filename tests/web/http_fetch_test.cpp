// POSIX only: uses wait statuses (sys/wait.h) and the POSIX test support.
// HttpFetch against real servers on 127.0.0.1: bodies and reply heads,
// redirects, cookies, decoding, time-outs, TLS, a real proxy, failures and
// misbehaving peers, concurrent fetches and exiting with workers in flight.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/local_server.h"
#include "support/raw_peer.h"
#include "support/tiny_proxy.h"
#include "support/tls_files.h"
#include "values/memory_stream.h"
#include "web/exchange_block.h"
#include "web/http_fetch.h"
#include "web/internal/cookie_store.h"
#include "web/internal/curl_support.h"
#include "web/request_worker.h"

namespace pellora {
namespace {

using Clock = std::chrono::steady_clock;
using testing::HttpResponse;
using testing::LocalServer;
using testing::RawPeer;
using testing::RawReply;
using testing::TestTlsFiles;
using testing::TinyProxy;

const ByteString kTimeout = FetchTimeoutText();

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A server with the routes most tests use.
// 3 MB of every byte value, zero bytes included, in a pattern that a
// misplaced or repeated piece would break.
const std::string& LargeBody() {
  static const std::string body = [] {
    std::string b(3 << 20, '\0');
    std::uint32_t x = 12345;
    for (char& c : b) {
      x = x * 1103515245U + 12345U;
      c = static_cast<char>(x >> 24);
    }
    return b;
  }();
  return body;
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    internal::CookieStore::Instance().Clear();
    auto& http = server_.Http();
    http.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("hello", "text/plain");
    });
    http.Get("/bytes", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string("a\0b\xff", 4), "application/octet-stream");
    });
    http.Get("/utf8", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("\xe4\xb8\xad\xe6\x96\x87", "text/plain; charset=utf-8");
    });
    http.Get("/big5", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("\xa4\xa4\xb5\xd8", "text/plain; charset=big5");
    });
    http.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/hello");
      res.set_content("moved", "text/plain");
    });
    http.Get("/to-ftp", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("ftp://127.0.0.1/file");
      res.set_content("not followed", "text/plain");
    });
    http.Get("/loop", [this](const httplib::Request&, httplib::Response& res) {
      ++loopHits_;
      res.set_redirect("/loop");
    });
    http.Get("/set", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "sid=abc; path=/");
      res.set_content("set", "text/plain");
    });
    http.Get("/login", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "session=chain; path=/");
      res.set_redirect("/whoami");
    });
    http.Get("/whoami", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("cookie=" + req.get_header_value("Cookie"), "text/plain");
    });
    http.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      res.set_content("late", "text/plain");
    });
    http.Get(R"(/echo/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.set_header("Set-Cookie", "n" + req.matches[1].str() + "=" + req.matches[1].str());
      res.set_content("echo " + req.matches[1].str() + " " + req.get_header_value("Cookie"),
                      "text/plain");
    });
    http.Post("/post-303", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/method", 303);
    });
    http.Post("/post-307", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/method", 307);
    });
    auto method = [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.method + " [" + req.body + "] " + req.get_header_value("Content-Length"),
                      "text/plain");
    };
    http.Get("/method", method);
    http.Post("/method", method);
    http.Get("/large", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(LargeBody(), "application/octet-stream");
    });
    http.Get("/large-chunked", [](const httplib::Request&, httplib::Response& res) {
      // No Content-Length: the body's size is known only at its end.
      res.set_chunked_content_provider(
          "application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
            const std::string& body = LargeBody();
            const std::size_t n = std::min<std::size_t>(100'000, body.size() - offset);
            sink.write(body.data() + offset, n);
            if (offset + n == body.size()) sink.done();
            return true;
          });
    });
    server_.Start();
  }

  LocalServer server_;
  std::atomic<int> loopHits_{0};
};

TEST_F(FetchTest, BodyAndRawReplyHeaders) {
  Text headers = "untouched";
  Text cookies = "untouched";
  EXPECT_EQ(HttpFetch(server_.Url("/hello"), 0, {}, {}, {}, {}, 10, &headers, 0, &cookies),
            "hello");
  EXPECT_EQ(headers.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_NE(headers.find("\r\nContent-Length: 5\r\n"), std::string::npos);
  EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");
  EXPECT_EQ(cookies, "");
}

TEST_F(FetchTest, UnconvertedBodyKeepsEveryByte) {
  EXPECT_EQ(HttpFetch(server_.Url("/bytes")), std::string("a\0b\xff", 4));
}

TEST_F(FetchTest, LargeBodyComesBackByteForByte) {
  // Large bodies travel through the exchange stream as buffers of their own;
  // both a sized and a chunked reply must arrive whole and in order.
  EXPECT_TRUE(HttpFetch(server_.Url("/large")) == LargeBody());
  EXPECT_TRUE(HttpFetch(server_.Url("/large-chunked")) == LargeBody());
}

TEST_F(FetchTest, BlankUrlReturnsEmptyAtOnce) {
  const auto start = Clock::now();
  EXPECT_EQ(HttpFetch("   "), "");
  EXPECT_EQ(HttpFetch(""), "");
  EXPECT_LT(MsSince(start), 50);
}

TEST_F(FetchTest, Decoding) {
  EXPECT_EQ(HttpFetch(server_.Url("/utf8"), 0, {}, {}, {}, {}, 10, nullptr, 1), "\xd6\xd0\xce\xc4");
  EXPECT_EQ(HttpFetch(server_.Url("/big5"), 0, {}, {}, {}, {}, 10, nullptr, 2), "\xd6\xd0\xbb\xaa");
  EXPECT_EQ(HttpFetch(server_.Url("/utf8"), 0, {}, {}, {}, {}, 10, nullptr, 3),
            "\xe4\xb8\xad\xe6\x96\x87");
}

TEST_F(FetchTest, RedirectFollowedOrNot) {
  Text headers;
  EXPECT_EQ(HttpFetch(server_.Url("/redirect"), 0, {}, {}, {}, {}, 10, &headers), "hello");
  EXPECT_EQ(headers.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(headers.find("302"), std::string::npos) << headers;

  EXPECT_EQ(HttpFetch(server_.Url("/redirect"), 0, {}, {}, {}, {}, 10, &headers, 0, nullptr, false),
            "moved");
  EXPECT_EQ(headers.substr(0, 20), "HTTP/1.1 302 Found\r\n");
  EXPECT_NE(headers.find("\r\nLocation: /hello\r\n"), std::string::npos) << headers;
}

TEST_F(FetchTest, RedirectToAnotherSchemeIsNotFollowed) {
  Text headers;
  EXPECT_EQ(HttpFetch(server_.Url("/to-ftp"), 0, {}, {}, {}, {}, 10, &headers), "not followed");
  EXPECT_EQ(headers.substr(0, 12), "HTTP/1.1 302");
}

TEST_F(FetchTest, EndlessRedirectLoopEnds) {
  Text headers;
  EXPECT_EQ(HttpFetch(server_.Url("/loop"), 0, {}, {}, {}, {}, 10, &headers), "");
  EXPECT_EQ(loopHits_.load(), 11);
  EXPECT_EQ(headers.substr(0, 12), "HTTP/1.1 302");
}

TEST_F(FetchTest, PostRedirects) {
  // After a 303 the next request is a GET without the body or its lines;
  // a 307 repeats the POST with its body.
  EXPECT_EQ(HttpFetch(server_.Url("/post-303"), 1, {}, {}, "x=1"), "GET [] ");
  EXPECT_EQ(HttpFetch(server_.Url("/post-307"), 1, {}, {}, "x=1"), "POST [x=1] 3");
}

TEST_F(FetchTest, CookieSetByOneReplyIsSentByTheNext) {
  Text cookies;
  EXPECT_EQ(HttpFetch(server_.Url("/set"), 0, {}, {}, {}, {}, 10, nullptr, 0, &cookies), "set");
  EXPECT_EQ(cookies, "sid=abc;");
  EXPECT_EQ(HttpFetch(server_.Url("/whoami")), "cookie=sid=abc");
}

TEST_F(FetchTest, CookieSetDuringARedirectChainIsKept) {
  Text cookies;
  EXPECT_EQ(HttpFetch(server_.Url("/login"), 0, {}, {}, {}, {}, 10, nullptr, 0, &cookies),
            "cookie=session=chain");
  // Only the final reply's Set-Cookie lines are gathered.
  EXPECT_EQ(cookies, "");
  EXPECT_EQ(HttpFetch(server_.Url("/whoami")), "cookie=session=chain");
}

TEST_F(FetchTest, CookieTextKeepsTheStoreOut) {
  ASSERT_EQ(HttpFetch(server_.Url("/set")), "set");
  EXPECT_EQ(HttpFetch(server_.Url("/whoami"), 0, {}, {}, {}, "own=1"), "cookie=own=1");
  // Nor does the client carry a cookie from one hop of a chain to the next.
  internal::CookieStore::Instance().Clear();
  EXPECT_EQ(HttpFetch(server_.Url("/login"), 0, {}, {}, {}, "own=1"), "cookie=own=1");
  EXPECT_EQ(HttpFetch(server_.Url("/whoami")), "cookie=");
}

TEST_F(FetchTest, TimeOutZeroReturnsAtOnce) {
  const auto start = Clock::now();
  Text headers = "untouched";
  Text cookies = "untouched";
  EXPECT_EQ(HttpFetch(server_.Url("/hello"), 0, {}, {}, {}, {}, 0, &headers, 1, &cookies),
            kTimeout);
  EXPECT_LT(MsSince(start), 200);
  EXPECT_EQ(headers, "untouched");
  EXPECT_EQ(cookies, "untouched");
  EXPECT_EQ(HttpFetch(server_.Url("/hello"), 0, {}, {}, {}, {}, -5), kTimeout);
}

TEST_F(FetchTest, SlowServerHitsTheLimitAndTheTextIsNotConverted) {
  for (int decoding : {0, 1, 2}) {
    const auto start = Clock::now();
    EXPECT_EQ(HttpFetch(server_.Url("/slow"), 0, {}, {}, {}, {}, 1, nullptr, decoding), kTimeout);
    const long long ms = MsSince(start);
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 1400);
  }
}

TEST_F(FetchTest, EventPumpRunsAfterEveryWakeUp) {
  int pumped = 0;
  SetThreadEventPump([&pumped] { ++pumped; });
  EXPECT_EQ(HttpFetch(server_.Url("/slow"), 0, {}, {}, {}, {}, 1), kTimeout);
  const int afterTimeout = pumped;
  EXPECT_GE(afterTimeout, 50);  // woken about every 10 ms for a second
  EXPECT_EQ(HttpFetch(server_.Url("/hello"), 0, {}, {}, {}, {}, 0), kTimeout);
  EXPECT_EQ(pumped, afterTimeout + 1);  // a limit of 0 still pumps once
  SetThreadEventPump({});
  EXPECT_EQ(HttpFetch(server_.Url("/hello")), "hello");
  EXPECT_EQ(pumped, afterTimeout + 1);
}

TEST_F(FetchTest, SixteenFetchesAtOnceKeepTheirOwnResults) {
  constexpr int kCount = 16;
  std::vector<ByteString> bodies(kCount);
  std::vector<Text> cookies(kCount);
  std::vector<std::thread> threads;
  for (int i = 0; i < kCount; ++i) {
    threads.emplace_back([&, i] {
      const std::string n = std::to_string(i);
      bodies[i] = HttpFetch(server_.Url("/echo/" + n), 0, {}, {}, {}, "mine=" + n, 20, nullptr, 0,
                            &cookies[i]);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kCount; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(bodies[i], "echo " + n + " mine=" + n);
    EXPECT_EQ(cookies[i], "n" + n + "=" + n + ";");
  }
}

TEST(FetchFailure, RefusedConnectionGivesEmptyTexts) {
  RawPeer* peer = new RawPeer(RawReply{});
  const std::string url = peer->Url("/x");
  delete peer;  // nobody listens there any more
  Text headers = "untouched";
  Text cookies = "untouched";
  EXPECT_EQ(HttpFetch(url, 0, {}, {}, {}, "k=v", 10, &headers, 0, &cookies), "");
  EXPECT_EQ(headers, "");
  EXPECT_EQ(cookies, "");
}

TEST(FetchFailure, UnusableHostOrPortGivesEmptyTexts) {
  for (const char* url : {"http://bad host/", "http://h:99999/", "http://h:0/", "http:///x",
                          "http://user@host/"}) {
    Text headers = "untouched";
    EXPECT_EQ(HttpFetch(url, 0, {}, {}, {}, {}, 10, &headers), "") << url;
    EXPECT_EQ(headers, "") << url;
  }
}

TEST(FetchFailure, ResetBeforeAnyReplyGivesBlankHeaders) {
  RawPeer peer(RawReply{.bytes = "", .end = RawReply::End::kReset});
  Text headers;
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, {}, 10, &headers), "");
  EXPECT_EQ(headers, std::string(2048, ' '));
}

TEST(FetchMisbehaving, DrippedReplyArrivesWhole) {
  RawPeer peer(RawReply{.bytes = HttpResponse("dripped body", "Set-Cookie: d=1\r\n"),
                        .dripChunk = 3,
                        .dripPause = std::chrono::milliseconds(2)});
  Text cookies;
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, "x=1", 10, nullptr, 0, &cookies),
            "dripped body");
  EXPECT_EQ(cookies, "d=1;");
}

TEST(FetchMisbehaving, HugeHeadersComeBackWholeWithTheirCookies) {
  std::string extra;
  for (int i = 0; i < 200; ++i) extra += "X-Pad-" + std::to_string(i) + ": " + std::string(100, 'p') + "\r\n";
  extra += "Set-Cookie: after=pad; path=/\r\nSet-Cookie: bare=1\r\n";
  RawPeer peer(RawReply{.bytes = HttpResponse("ok", extra)});
  Text headers;
  Text cookies;
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, "x=1", 10, &headers, 0, &cookies), "ok");
  EXPECT_GT(headers.size(), 20000u);
  EXPECT_NE(headers.find("X-Pad-199: "), std::string::npos);
  EXPECT_EQ(cookies, "after=pad;bare=1;");
}

TEST(FetchMisbehaving, SubstituteByteEndsTheCookieLines) {
  RawPeer peer(RawReply{.bytes = HttpResponse(
                            "ok", "Set-Cookie: a=1; path=/\r\nX-Odd: \x1a\r\nSet-Cookie: b=2\r\n")});
  Text headers;
  Text cookies;
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, "x=1", 10, &headers, 0, &cookies), "ok");
  EXPECT_NE(headers.find("X-Odd: \x1a\r\n"), std::string::npos);
  EXPECT_EQ(cookies, "a=1;");
}

TEST(FetchMisbehaving, BrokenChunkedBodyEndsWithWhatArrived) {
  RawPeer peer(RawReply{.bytes =
                            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                            "5\r\nfirst\r\nzz\r\nnever"});
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, {}, 10), "first");
}

TEST(FetchMisbehaving, SilentPeerTimesOutAndTheWorkerLetsGo) {
  std::atomic<int> served{0};
  RawPeer peer([&served](const std::string&) {
    ++served;
    return RawReply{.bytes = "", .end = RawReply::End::kKeepOpen};
  });
  const auto start = Clock::now();
  EXPECT_EQ(HttpFetch(peer.Url("/"), 0, {}, {}, {}, {}, 1), kTimeout);
  EXPECT_LT(MsSince(start), 1400);
  EXPECT_EQ(served.load(), 1);
  // The worker is told to stop and hangs up on its own, within about a
  // second, while the peer still holds the connection open.
  EXPECT_TRUE(peer.WaitForHangups(1, std::chrono::milliseconds(2500)));
}

// Runs the worker on a block written into a fresh stream, as the fetch does,
// and returns the block it wrote back.
ByteStringArray ThroughTheWorker(const ByteStringArray& request) {
  const StreamHandle stream = OpenMemoryStream();
  ByteStringArray block(kExchangeSlotCount);
  EXPECT_TRUE(StreamWriteData(stream, request));
  RequestWorker(stream);
  EXPECT_TRUE(StreamSeekToStart(stream));
  EXPECT_TRUE(StreamReadData(stream, block));
  CloseStream(stream);
  return block;
}

TEST(RequestWorkerBlock, FailureLeavesEmptySlotsAndKeepsTheRest) {
  RawPeer* peer = new RawPeer(RawReply{});
  const std::string url = peer->Url("/x");
  delete peer;
  const ByteStringArray block =
      ThroughTheWorker(MakeExchangeBlock(url, 0, "", "X: 1\r\n", "d", "k=v", true));
  EXPECT_EQ(block[kSlotUrlOrBody], "");
  EXPECT_EQ(block[kSlotVerbOrReplyCookies], "");
  EXPECT_EQ(block[kSlotProxy], "");
  EXPECT_EQ(block[kSlotHeaders], "X: 1\r\n");
  EXPECT_EQ(block[kSlotPostData], "d");
  EXPECT_EQ(block[kSlotCookiesOrReplyHeaders], "");
  EXPECT_EQ(block[kSlotAllowRedirect], "\xd5\xe6");
}

TEST(RequestWorkerBlock, OtherVerbIsNeverSent) {
  RawPeer peer(RawReply{HttpResponse("ok")});
  ByteStringArray request = MakeExchangeBlock(peer.Url("/"), 0, "", "", "", "", true);
  request[kSlotVerbOrReplyCookies] = "PUT";
  const ByteStringArray block = ThroughTheWorker(request);
  EXPECT_EQ(block[kSlotUrlOrBody], "");
  EXPECT_EQ(block[kSlotCookiesOrReplyHeaders], std::string(2048, ' '));
  EXPECT_EQ(block[kSlotVerbOrReplyCookies], "");
  EXPECT_TRUE(peer.Requests().empty());
}

TEST(RequestWorkerBlock, UnreadableBlockWritesNothing) {
  const StreamHandle stream = OpenMemoryStream();
  ByteStringArray five(5);
  five[1] = "http://127.0.0.1:1/";
  ASSERT_TRUE(StreamWriteData(stream, five));
  RequestWorker(stream);
  ByteStringArray again(5);
  ASSERT_TRUE(StreamSeekToStart(stream));
  ASSERT_TRUE(StreamReadData(stream, again));
  EXPECT_EQ(again[1], "http://127.0.0.1:1/");
  CloseStream(stream);
}

class TlsFetch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { internal::SetTrustedCaFile(TestTlsFiles().caCert); }
  static void TearDownTestSuite() { internal::SetTrustedCaFile(""); }
};

TEST_F(TlsFetch, TrustedCertificateWorksOnItsOwnPort) {
  LocalServer server(TestTlsFiles().serverCert, TestTlsFiles().serverKey);
  server.Http().Get("/s", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "tls=1; Secure");
    res.set_content("secure", "text/plain");
  });
  server.Start();
  Text cookies;
  // A proxy is for plain HTTP only: a dead one does not matter here.
  EXPECT_EQ(HttpFetch(server.Url("/s"), 0, "127.0.0.1:1", {}, {}, {}, 10, nullptr, 0, &cookies),
            "secure");
  EXPECT_EQ(cookies, "tls=1;");
  const std::string upper = "HTTPS://" + server.HostPort() + "/s";
  EXPECT_EQ(HttpFetch(upper, 0, {}, {}, {}, {}, 10), "secure");
}

TEST_F(TlsFetch, UntrustedCertificateFails) {
  LocalServer server(TestTlsFiles().rogueCert, TestTlsFiles().rogueKey);
  server.Http().Get("/s", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("must not arrive", "text/plain");
  });
  server.Start();
  Text headers = "untouched";
  EXPECT_EQ(HttpFetch(server.Url("/s"), 0, {}, {}, {}, {}, 10, &headers), "");
  EXPECT_EQ(headers, "");
}

TEST_F(TlsFetch, SecureRequestKeepsNoRedirectAndCookieSettings) {
  internal::CookieStore::Instance().Clear();
  LocalServer server(TestTlsFiles().serverCert, TestTlsFiles().serverKey);
  server.Http().Get("/r", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "s=1");
    res.set_redirect("/c");
  });
  server.Http().Get("/c", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content("cookie=" + req.get_header_value("Cookie"), "text/plain");
  });
  server.Start();
  Text headers;
  EXPECT_EQ(HttpFetch(server.Url("/r"), 0, {}, {}, {}, {}, 10, &headers, 0, nullptr, false), "");
  EXPECT_EQ(headers.substr(0, 12), "HTTP/1.1 302");
  EXPECT_EQ(HttpFetch(server.Url("/c"), 0, {}, {}, {}, "own=1"), "cookie=own=1");
  EXPECT_EQ(HttpFetch(server.Url("/c")), "cookie=s=1");
}

TEST_F(TlsFetch, HttpToHttpsRedirectIsFollowed) {
  LocalServer secure(TestTlsFiles().serverCert, TestTlsFiles().serverKey);
  secure.Http().Get("/landed", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("landed", "text/plain");
  });
  secure.Start();
  LocalServer plain;
  const std::string target = secure.Url("/landed");
  plain.Http().Get("/up", [target](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(target);
  });
  plain.Start();
  EXPECT_EQ(HttpFetch(plain.Url("/up")), "landed");
}

TEST(ProxyFetch, PlainHttpGoesThroughTinyproxy) {
  if (!TinyProxy::Available()) {
    GTEST_SKIP() << "tinyproxy is not installed (" << TinyProxy::kBinary
                 << "); scripts/setup.sh installs tinyproxy-bin";
  }
  TinyProxy proxy;
  ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
  LocalServer server;
  server.Http().Get("/p", [](const httplib::Request& req, httplib::Response& res) {
    // tinyproxy adds a Via line naming itself to what it forwards.
    const bool proxied = req.get_header_value("Via").find("tinyproxy") != std::string::npos;
    res.set_content(std::string(proxied ? "proxied " : "direct ") +
                        req.get_header_value("Accept-Language"),
                    "text/plain");
  });
  server.Start();
  EXPECT_EQ(HttpFetch(server.Url("/p"), 0, proxy.HostPort(), {}, {}, {}, 10), "proxied zh-cn");
  EXPECT_EQ(HttpFetch(server.Url("/p"), 0, {}, {}, {}, {}, 10), "direct zh-cn");

  RawPeer* dead = new RawPeer(RawReply{});
  const std::string deadProxy = dead->HostPort();
  delete dead;
  Text headers = "untouched";
  EXPECT_EQ(HttpFetch(server.Url("/p"), 0, deadProxy, {}, {}, {}, 10, &headers), "");
  EXPECT_EQ(headers, "");
}

TEST(FetchExit, ProcessExitsCleanlyWithWorkersInFlight) {
  // Each run ends while sixteen workers are mid-request; a crash in static
  // destruction or in a library's exit handler shows as a non-zero status.
  const std::string probe = PELLORA_FETCH_EXIT_PROBE;
  for (int run = 0; run < 10; ++run) {
    for (const std::string& how : {std::string("exit"), std::string("return")}) {
      const int status = std::system((probe + " " + how).c_str());
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << how << " run " << run << ": status " << status;
    }
  }
}

}  // namespace
}  // namespace pellora
