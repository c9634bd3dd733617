// POSIX only: uses the raw socket peer of the POSIX test support.
// The exact bytes of the requests HttpFetch sends, recorded by a raw socket
// peer on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/raw_peer.h"
#include "web/http_fetch.h"
#include "web/internal/cookie_store.h"
#include "web/request_text.h"

namespace pellora {
namespace {

using testing::HttpResponse;
using testing::RawPeer;
using testing::RawReply;

const std::string kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";
const std::string kDefaultUa = "User-Agent: " + std::string(kDefaultAgent) + "\r\n";

class RequestHead : public ::testing::Test {
 protected:
  void SetUp() override { internal::CookieStore::Instance().Clear(); }

  // The one request the peer received for a fetch with these settings.
  std::string Sent(const std::string& path, int method = 0, std::string_view headers = {},
                   std::string_view data = {}, std::string_view cookies = {}) {
    const ByteString body = HttpFetch(peer_.Url(path), method, {}, headers, data, cookies, 10);
    EXPECT_EQ(body, "ok");
    const auto requests = peer_.Requests();
    return requests.empty() ? std::string() : requests.back();
  }

  std::string Host() const { return "Host: " + peer_.HostPort() + "\r\n"; }
  std::string Referer(const std::string& path) const {
    return "Referer: " + peer_.Url(path) + "\r\n";
  }

  RawPeer peer_{RawReply{HttpResponse("ok")}};
};

TEST_F(RequestHead, DefaultGet) {
  EXPECT_EQ(Sent("/a/b?q=1"), "GET /a/b?q=1 HTTP/1.1\r\n" + Host() + kDefaultUa + kAccept +
                                  Referer("/a/b?q=1") + "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, MethodOtherThanOneSendsGet) {
  EXPECT_EQ(Sent("/m", 2).substr(0, 16), "GET /m HTTP/1.1\r");
  EXPECT_EQ(Sent("/m", -1).substr(0, 16), "GET /m HTTP/1.1\r");
}

TEST_F(RequestHead, PostWithData) {
  EXPECT_EQ(Sent("/form", 1, {}, "a=1&b=%E4"),
            "POST /form HTTP/1.1\r\n" + Host() + kDefaultUa + kAccept + Referer("/form") +
                "Accept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 9\r\n\r\n"
                "a=1&b=%E4");
}

TEST_F(RequestHead, PostWithoutDataHasNoLengthOrType) {
  EXPECT_EQ(Sent("/empty", 1), "POST /empty HTTP/1.1\r\n" + Host() + kDefaultUa + kAccept +
                                   Referer("/empty") + "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, LargePostHasNoExpectLine) {
  const std::string data(3 << 20, 'd');
  const std::string sent = Sent("/big", 1, {}, data);
  EXPECT_EQ(sent.find("Expect"), std::string::npos);
  EXPECT_EQ(sent.size(), sent.find("\r\n\r\n") + 4 + data.size());
}

TEST_F(RequestHead, CookieTextIsTheLastLine) {
  EXPECT_EQ(Sent("/c", 0, {}, {}, "k=v; m=n"),
            "GET /c HTTP/1.1\r\n" + Host() + kDefaultUa + kAccept + Referer("/c") +
                "Accept-Language: zh-cn\r\nCookie: k=v; m=n\r\n\r\n");
}

TEST_F(RequestHead, RefererNoRemovesTheMarkerAndTheReferer) {
  EXPECT_EQ(Sent("/r", 0, "X-A: 1\r\nRefererNo"),
            "GET /r HTTP/1.1\r\n" + Host() + kDefaultUa + "X-A: 1\r\n" + kAccept +
                "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, UserAgentFromTheHeaderText) {
  EXPECT_EQ(Sent("/u", 0, "User-Agent: Tool/2.0\r\nAccept: */*\r\n"),
            "GET /u HTTP/1.1\r\n" + Host() + "User-Agent: Tool/2.0\r\nAccept: */*\r\n" +
                Referer("/u") + "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, UserAgentWithoutLineEndGivesAnEmptyAgent) {
  // The defaults are appended right after "tail", so they join its line; no
  // agent of the client's own is added.
  EXPECT_EQ(Sent("/t", 0, "X-A: 1\r\nUser-Agent: tail"),
            "GET /t HTTP/1.1\r\n" + Host() + "X-A: 1\r\nUser-Agent: tail" + kAccept +
                Referer("/t") + "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, EmptyHeaderValuesAreSentNotDropped) {
  EXPECT_EQ(Sent("/e", 0, "X-Empty:\r\nAccept:\r\n"),
            "GET /e HTTP/1.1\r\n" + Host() + kDefaultUa + "X-Empty:\r\nAccept:\r\n" +
                Referer("/e") + "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(RequestHead, PathBytesAsGivenWithBlanksAndControlsEncoded) {
  const std::string sent = Sent("/\xd6\xd0/a b\t/%41/../x#frag");
  EXPECT_EQ(sent.substr(0, sent.find("\r\n")),
            "GET /\xd6\xd0/a%20b%09/%41/../x#frag HTTP/1.1");
}

TEST_F(RequestHead, SchemeInAnyCaseOrNoneIsPlainHttp) {
  const std::string hostPort = peer_.HostPort();
  for (const std::string& url : {"HTTP://" + hostPort + "/s", hostPort + "/s",
                                 "Http://" + hostPort + "/s"}) {
    EXPECT_EQ(HttpFetch(url, 0, {}, {}, {}, {}, 10), "ok") << url;
    const auto requests = peer_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().substr(0, 16), "GET /s HTTP/1.1\r") << url;
  }
}

TEST_F(RequestHead, HttpsInTheQueryStaysPlainHttpOnItsPort) {
  const std::string sent = Sent("/go?to=https://elsewhere/");
  EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "GET /go?to=https://elsewhere/ HTTP/1.1");
}

TEST_F(RequestHead, StoredCookiesAreSentUnlessACookieTextIsGiven) {
  RawPeer setter(RawReply{HttpResponse("ok", "Set-Cookie: sid=abc; path=/\r\n")});
  ASSERT_EQ(HttpFetch(setter.Url("/login"), 0, {}, {}, {}, {}, 10), "ok");

  // The store is keyed by host, so the cookie goes to every port of it.
  const std::string plain = Sent("/next");
  EXPECT_NE(plain.find("\r\nCookie: sid=abc\r\n"), std::string::npos) << plain;

  const std::string own = Sent("/own", 0, {}, {}, "mine=1");
  EXPECT_EQ(own.find("sid=abc"), std::string::npos) << own;
  EXPECT_NE(own.find("\r\nCookie: mine=1\r\n\r\n"), std::string::npos) << own;
}

}  // namespace
}  // namespace pellora
