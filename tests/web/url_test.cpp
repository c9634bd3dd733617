#include "web/url.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace pellora {
namespace {

struct UrlCase {
  const char* name;
  std::string url;
  std::string host;
  std::string path;
  int port;
};

TEST(UrlSplitting, HostPathAndPort) {
  const UrlCase cases[] = {
      {"everything", "http://Server:8080/Path/x?q=1", "server", "/Path/x?q=1", 8080},
      {"host-only", "http://server", "server", "/", 80},
      {"host-and-port-only", "http://Server:8080", "server", "/", 8080},
      {"https-port-is-zero", "https://server/a", "server", "/a", 0},
      {"https-written-port-still-zero", "https://server:8443/a", "server", "/a", 0},
      {"query-without-path-stays-in-host", "http://server?x=1", "server?x=1", "/", 80},
      {"inner-scheme-kept-in-path", "http://server/?u=http://other/c", "server",
       "/?u=http://other/c", 80},
      {"inner-scheme-removed-on-way-to-host", "http://a?q=http://b/c", "a?q=b", "//b/c", 0},
      {"capital-scheme", "HTTP://server:81/", "server", "/", 81},
      {"mixed-case-https", "HTTPS://Server/a", "server", "/a", 0},
      {"host-inside-scheme", "http://t/x", "t", "/x", 80},
      {"host-http-inside-scheme", "http://http/x", "http", "/x", 80},
      {"host-also-in-path", "http://a/b/a/c", "a", "/b/a/c", 80},
      {"credentials-not-supported", "http://user:pw@host/p", "user", "/p", 0},
      {"port-not-a-number", "http://h:abc/", "h", "/", 0},
      {"empty-port", "http://h:/", "h", "/", 0},
      {"port-with-blank", "http://h: 81/", "h", "/", 81},
      {"huge-port-saturates", "http://h:99999999999/", "h", "/", INT_MAX},
      {"no-scheme", "Server/a", "server", "/a", 80},
      {"empty", "", "", "/", 80},
      {"scheme-only", "http://", "", "/", 80},
      {"empty-host", "http:///x", "", "/x", 80},
      {"chinese-host", "http://\xD6\xD0.CN/a", "\xD6\xD0.cn", "/a", 80},
      // 0x81 0x41 is one character whose second byte is "A": it is not lower-cased.
      {"double-byte-second-byte-capital",
       "http://\x81\x41"
       "B/",
       "\x81\x41"
       "b",
       "/", 80},
  };
  for (const UrlCase& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.name;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.name;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.name;
  }
}

}  // namespace
}  // namespace pellora
