// Security checks of the fetch and the lookup: TLS verification stays on, a
// proxy never sees a secure request (nor, without being asked for, a plain
// one), and whatever the user types as the number goes out as one
// well-formed request that carries no header of its own making.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "lookup/run_lookup.h"
#include "support/local_server.h"
#include "support/raw_peer.h"
#include "support/tls_files.h"
#include "web/http_fetch.h"
#include "web/internal/curl_support.h"

namespace pellora {
namespace {

using testing::HttpResponse;
using testing::RawPeer;
using testing::RawReply;

RawReply Answer(std::string body) {
  RawReply r;
  r.bytes = HttpResponse(body);
  return r;
}

// A TLS server trusted through the test CA, answering "secure".
class TrustedTlsServer {
 public:
  TrustedTlsServer()
      : files_(testing::TestTlsFiles()), server_(files_.serverCert, files_.serverKey) {
    internal::SetTrustedCaFile(files_.caCert);
    server_.Http().Get(".*", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secure", "text/plain");
    });
    server_.Start();
  }
  ~TrustedTlsServer() { internal::SetTrustedCaFile(""); }

  [[nodiscard]] std::string Url() const { return server_.Url("/s"); }

 private:
  const testing::TlsFiles& files_;
  testing::LocalServer server_;
};

// Sets proxy variables of the environment for one scope.
class ProxyEnvironment {
 public:
  explicit ProxyEnvironment(const std::string& proxy) {
    for (const char* name : kNames) ::setenv(name, proxy.c_str(), 1);
  }
  ~ProxyEnvironment() {
    for (const char* name : kNames) ::unsetenv(name);
  }

 private:
  static constexpr const char* kNames[] = {"http_proxy", "https_proxy", "HTTPS_PROXY",
                                           "all_proxy", "ALL_PROXY"};
};

TEST(ProxySecurityTest, SecureRequestsNeverGoThroughTheProxy) {
  RawPeer proxy(Answer("from the proxy"));
  TrustedTlsServer server;
  EXPECT_EQ(HttpFetch(server.Url(), 0, proxy.HostPort(), {}, {}, {}, 10), "secure");
  {
    ProxyEnvironment environment("http://" + proxy.HostPort());
    EXPECT_EQ(HttpFetch(server.Url(), 0, proxy.HostPort(), {}, {}, {}, 10), "secure");
    EXPECT_EQ(HttpFetch(server.Url(), 0, {}, {}, {}, {}, 10), "secure");
  }
  EXPECT_TRUE(proxy.Requests().empty()) << proxy.Requests().front().substr(0, 200);
}

TEST(ProxySecurityTest, PlainRequestsUseTheProxyOnlyWhenGivenOne) {
  RawPeer proxy(Answer("from the proxy"));
  RawPeer origin(Answer("direct"));
  {
    ProxyEnvironment environment("http://" + proxy.HostPort());
    EXPECT_EQ(HttpFetch(origin.Url("/p"), 0, {}, {}, {}, {}, 10), "direct");
  }
  EXPECT_TRUE(proxy.Requests().empty());
  EXPECT_EQ(HttpFetch(origin.Url("/p"), 0, proxy.HostPort(), {}, {}, {}, 10), "from the proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].rfind("GET " + origin.Url("/p") + " HTTP/1.1\r\n", 0), 0u)
      << proxy.Requests()[0].substr(0, 200);
}

TEST(TlsSecurityTest, VerificationCannotBeTalkedOutOfByTheUrl) {
  const testing::TlsFiles& files = testing::TestTlsFiles();
  testing::LocalServer rogue(files.rogueCert, files.rogueKey);
  rogue.Http().Get(".*", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("secret", "text/plain");
  });
  rogue.Start();
  // The scheme in capitals, a user name, and a path that looks like an
  // option: all still verified, all refused.
  const std::string hostPort = rogue.HostPort();
  for (const std::string& url :
       {"https://" + hostPort + "/", "HTTPS://" + hostPort + "/", "https://" + hostPort + "/?insecure=1",
        "https://user@" + hostPort + "/"}) {
    EXPECT_EQ(HttpFetch(url, 0, {}, {}, {}, {}, 10), "") << url;
  }
}

// The header names a lookup request may carry.
bool KnownHeader(const std::string& line) {
  for (const char* name : {"Host: ", "User-Agent: ", "Accept: ", "Referer: ", "Accept-Language: "}) {
    if (line.rfind(name, 0) == 0) return true;
  }
  return false;
}

// Checks that `request` is exactly one request head: a request line with
// three parts and a target without blanks or control bytes, then known
// header lines without stray line breaks, among them one Host line naming
// `hostPort`, then the empty line, nothing more.
void ExpectOneWellFormedRequest(const std::string& request, const std::string& hostPort) {
  ASSERT_GE(request.size(), 4u);
  EXPECT_EQ(request.find("\r\n\r\n"), request.size() - 4) << "more than one head: " << request;
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < request.size() - 4) {
    const size_t end = request.find("\r\n", at);
    lines.push_back(request.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_FALSE(lines.empty());
  const std::string& first = lines[0];
  ASSERT_EQ(first.rfind("GET /10086/", 0), 0u) << first;
  ASSERT_GE(first.size(), 9u);
  EXPECT_EQ(first.substr(first.size() - 9), " HTTP/1.1") << first;
  const std::string target = first.substr(4, first.size() - 13);
  for (unsigned char c : target) {
    EXPECT_TRUE(c > 0x20 && c != 0x7F) << "byte " << int(c) << " in the target " << target;
  }
  int hosts = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(KnownHeader(lines[i])) << "header of its own: " << lines[i];
    EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << lines[i];
    if (lines[i].rfind("Host: ", 0) == 0) {
      ++hosts;
      EXPECT_EQ(lines[i], "Host: " + hostPort);
    }
  }
  EXPECT_EQ(hosts, 1);
}

struct TypedNumber {
  const char* name;
  std::string number;
};

void PrintTo(const TypedNumber& typed, std::ostream* out) { *out << typed.name; }

class TypedNumberTest : public ::testing::TestWithParam<TypedNumber> {};

TEST_P(TypedNumberTest, GoesOutAsOneWellFormedRequest) {
  RawPeer peer(Answer(
      "{\"data\":{\"name\":\"x\",\"bal\":\"1\",\"poi\":\"2\",\"con\":\"3\",\"tips\":null},"
      "\"time\":1}"));
  const std::string number = GetParam().number;
  Text stored;
  LookupHooks hooks;
  hooks.host = peer.HostPort();
  hooks.readNumber = [&] { return number; };
  hooks.storeResult = [&](Text text) { stored = std::move(text); };
  RunLookup(hooks);

  const std::vector<std::string> requests = peer.Requests();
  ASSERT_LE(requests.size(), 1u);
  if (requests.empty()) {
    EXPECT_EQ(stored, NotFoundText());
  } else {
    ExpectOneWellFormedRequest(requests[0], peer.HostPort());
    if (HasFailure()) std::printf("the request:\n%s\n", requests[0].c_str());
    const std::string label = "\xca\xd6\xbb\xfa\xba\xc5\xa3\xba";  // 手机号：
    EXPECT_TRUE(stored == NotFoundText() || stored.rfind(label + number, 0) == 0);
  }
}

std::vector<TypedNumber> TypedNumbers() {
  return {
      {"Plain", "13800138000"},
      {"Blanks", " 138 0013 8000 "},
      {"Hash", "138#00"},
      {"Query", "138?x=1&y=2"},
      {"Percent", "100%"},
      {"PercentEncodedLineBreak", "138%0d%0aX-Injected:%201"},
      {"DotDot", "/../../etc/passwd"},
      {"DotDotAlone", "/.."},
      {"NonAscii", "\xd6\xd0\xce\xc4\xba\xc5\xc2\xeb"},
      {"LineBreakAndHeader", "138\r\nX-Injected: 1"},
      {"LineFeedAndHost", "138\nHost: elsewhere"},
      {"SecondRequest", "1 HTTP/1.1\r\nHost: a\r\n\r\nGET /second HTTP/1.1\r\nX-Injected: 1"},
      {"TabAndDelete", "1\t2\x7f"},
      {"VeryLong", std::string(16384, '9')},
  };
}

INSTANTIATE_TEST_SUITE_P(Numbers, TypedNumberTest, ::testing::ValuesIn(TypedNumbers()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellora
