// The texts a request is made of, the cookie gathering, the time-out
// arithmetic, the scheme tests and the cookie store: no network.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "web/internal/cookie_store.h"
#include "web/internal/fetch_limit.h"
#include "web/internal/scheme.h"
#include "web/request_text.h"

namespace pellora {
namespace {

const std::string kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";
const std::string kLang = "Accept-Language: zh-cn\r\n";
const std::string kUrl = "http://h/p";
const std::string kReferer = "Referer: http://h/p\r\n";

struct AgentCase {
  const char* name;
  std::string headers;
  std::string agent;
};

TEST(RequestAgent, TakesTheTrimmedValueOrTheDefault) {
  const AgentCase cases[] = {
      {"none", "", std::string(kDefaultAgent)},
      {"other-headers", "X-A: 1\r\n", std::string(kDefaultAgent)},
      {"given", "User-Agent: me/1.0\r\n", "me/1.0"},
      {"any-case-and-blanks", "X: y\r\nuser-agent:   spaced out  \r\n", "spaced out"},
      {"last-line-without-crlf", "X-A: 1\r\nUser-Agent: tail", ""},
      {"empty-value", "User-Agent:\r\n", ""},
  };
  for (const AgentCase& c : cases) {
    EXPECT_EQ(RequestAgent(c.headers), c.agent) << c.name;
  }
}

struct HeaderCase {
  const char* name;
  std::string headers;
  std::string verb;
  std::string data;
  std::string cookies;
  std::string expected;
};

TEST(BuildHeaderText, AddsDefaultsInOrderAndTheCookieLineLast) {
  const HeaderCase cases[] = {
      {"defaults", "", "GET", "", "", kAccept + kReferer + kLang},
      {"accept-word-inside-other-header", "Accept-Encoding: gzip\r\n", "GET", "", "",
       "Accept-Encoding: gzip\r\n" + kReferer + kLang},
      {"accept-in-a-value", "X-Note: acceptable\r\n", "GET", "", "",
       "X-Note: acceptable\r\n" + kReferer + kLang},
      {"referer-given", "Referer: http://x/\r\n", "GET", "", "",
       "Referer: http://x/\r\n" + kAccept + kLang},
      {"referer-no", "X-A: 1\r\nRefererNo", "GET", "", "", "X-A: 1\r\n" + kAccept + kLang},
      {"referer-no-other-case-stays", "refererno\r\n", "GET", "", "",
       "refererno\r\n" + kAccept + kLang},
      {"post-with-data", "", "POST", "a=1&b=2", "",
       kAccept + kReferer + kLang +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n"},
      {"post-with-own-type", "Content-Type: text/plain\r\n", "POST", "xyz", "",
       "Content-Type: text/plain\r\n" + kAccept + kReferer + kLang + "Content-Length: 3\r\n"},
      {"post-without-data", "", "POST", "", "", kAccept + kReferer + kLang},
      {"get-ignores-data", "", "GET", "a=1", "", kAccept + kReferer + kLang},
      {"cookie-on-get", "", "GET", "", "k=v; m=n",
       kAccept + kReferer + kLang + "Cookie: k=v; m=n\r\n\r\n"},
      {"cookie-on-post-after-length", "", "POST", "d", "k=v",
       kAccept + kReferer + kLang +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 1\r\n"
           "Cookie: k=v\r\n\r\n"},
      {"blank-cookie-text-still-sent", "", "GET", "", "  ",
       kAccept + kReferer + kLang + "Cookie:   \r\n\r\n"},
      {"other-verb-no-cookie-line", "", "PUT", "d", "k=v", kAccept + kReferer + kLang},
      {"ua-without-crlf-gets-accept-glued", "User-Agent: tail", "GET", "", "",
       "User-Agent: tail" + kAccept + kReferer + kLang},
  };
  for (const HeaderCase& c : cases) {
    EXPECT_EQ(BuildHeaderText(c.headers, kUrl, c.verb, c.data, c.cookies), c.expected)
        << c.name;
  }
}

TEST(BuildHeaderText, RefererCannotBreakTheHeadOpen) {
  // A URL that holds line breaks or blanks (a typed number, say) goes into the
  // Referer line with those bytes percent-encoded, so it stays one line.
  const std::string url = "http://h/10086/138\r\nX-Evil: 1\n2 3";
  EXPECT_EQ(BuildHeaderText("", url, "GET", "", ""),
            kAccept + "Referer: http://h/10086/138%0D%0AX-Evil:%201%0A2%203\r\n" + kLang);
  EXPECT_EQ(EncodeControlBytes(std::string("a\0b\x7f\x1f\xd6\xd0", 7)), "a%00b%7F%1F\xd6\xd0");
}

struct CookieCase {
  const char* name;
  std::string headers;
  std::string gathered;
};

TEST(GatherSetCookies, TakesEachPairBeforeItsFirstSemicolon) {
  const std::string longHead =
      "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(5000, 'p') + "\r\nSet-Cookie: big=1; path=/\r\n\r\n";
  const CookieCase cases[] = {
      {"three-lines",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n"
       "Set-Cookie: c=3\r\n\r\n",
       "a=1;b=2;c=3;"},
      {"none", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
      {"any-case", "HTTP/1.1 200 OK\r\nset-cookie: x=9; Secure\r\n\r\n", "x=9;"},
      {"needs-the-blank", "HTTP/1.1 200 OK\r\nSet-Cookie:x=1;\r\n\r\n", ""},
      {"longer-than-2047", longHead, "big=1;"},
      {"stops-at-0x1a",
       "HTTP/1.1 200 OK\r\nSet-Cookie: early=1; a\r\nX: \x1a\r\nSet-Cookie: late=2;\r\n\r\n",
       "early=1;"},
      {"empty-text", "", ""},
  };
  for (const CookieCase& c : cases) {
    EXPECT_EQ(GatherSetCookies(c.headers), c.gathered) << c.name;
  }
}

TEST(FetchLimit, LeftOutGivenZeroNegativeAndHuge) {
  EXPECT_EQ(internal::FetchLimitMs(std::nullopt), 60000);
  EXPECT_EQ(internal::FetchLimitMs(0), 0);
  EXPECT_EQ(internal::FetchLimitMs(5), 5000);
  EXPECT_EQ(internal::FetchLimitMs(-3), 0);
  EXPECT_EQ(internal::FetchLimitMs(2147483647), 2147483647000LL);
}

TEST(FetchLimit, ReachedAtTheLimitItself) {
  EXPECT_FALSE(internal::LimitReached(999, 1000));
  EXPECT_TRUE(internal::LimitReached(1000, 1000));
  EXPECT_TRUE(internal::LimitReached(1001, 1000));
  EXPECT_TRUE(internal::LimitReached(0, 0));
}

TEST(Scheme, SecureOnlyAtTheStartInAnyCase) {
  EXPECT_TRUE(internal::IsSecureUrl("https://h/"));
  EXPECT_TRUE(internal::IsSecureUrl("HTTPS://h/"));
  EXPECT_TRUE(internal::IsSecureUrl("hTtPs://h/"));
  EXPECT_FALSE(internal::IsSecureUrl("http://h/?u=https://x/"));
  EXPECT_FALSE(internal::IsSecureUrl("https:/h"));
  EXPECT_FALSE(internal::IsSecureUrl(""));
}

TEST(Scheme, SecurePortWrittenOr443) {
  EXPECT_EQ(internal::SecurePort("https://h/a"), 443);
  EXPECT_EQ(internal::SecurePort("https://h"), 443);
  EXPECT_EQ(internal::SecurePort("https://h:8443/a:1"), 8443);
  EXPECT_EQ(internal::SecurePort("https://h:x/"), 0);
  EXPECT_EQ(internal::SecurePort("https://h/x:9"), 443);
}

std::string Line(const std::string& domain, const std::string& path, const std::string& name,
                 const std::string& value) {
  return domain + "\tFALSE\t" + path + "\tFALSE\t0\t" + name + "\t" + value;
}

TEST(CookieStore, LoadsHostAndParentDomainsOnly) {
  internal::CookieStore store;
  store.Merge({}, {Line("a.example.com", "/", "x", "1"), Line(".example.com", "/", "y", "2"),
                   Line("other.com", "/", "z", "3"), Line("#HttpOnly_a.example.com", "/p", "h", "4")});
  const auto lines = store.LinesFor("A.Example.com");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(store.LinesFor("other.com").size(), 1u);
  EXPECT_TRUE(store.LinesFor("example.org").empty());
}

TEST(CookieStore, MergeReplacesAndDropsWhatTheTransferRemoved) {
  internal::CookieStore store;
  store.Merge({}, {Line("h", "/", "keep", "1"), Line("h", "/", "gone", "1"),
                   Line("h", "/", "change", "1")});
  const auto loaded = store.LinesFor("h");
  // The transfer changed one cookie, removed another, and a concurrent
  // request stored a new one meanwhile.
  store.Merge({}, {Line("h", "/", "other", "9")});
  store.Merge(loaded, {Line("h", "/", "keep", "1"), Line("h", "/", "change", "2")});
  auto lines = store.LinesFor("h");
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{Line("h", "/", "change", "2"),
                                             Line("h", "/", "keep", "1"),
                                             Line("h", "/", "other", "9")}));
}

TEST(CookieStore, IgnoresMalformedLines) {
  internal::CookieStore store;
  store.Merge({}, {"", "no tabs here", "# comment\tFALSE\t/\tFALSE\t0\tn\tv",
                   "\tFALSE\t/\tFALSE\t0\tn\tv"});
  EXPECT_TRUE(store.LinesFor("h").empty());
}

}  // namespace
}  // namespace pellora
