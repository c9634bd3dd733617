// Fuzzes the URL splitting: UrlHost, UrlPath and UrlPort never fail on any
// text, and their results keep the shape their contracts promise.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reference_ops.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const std::string host = pellora::UrlHost(url);
  const std::string path = pellora::UrlPath(url);
  const int port = pellora::UrlPort(url);
  (void)port;

  // The host is cut at the first "/" and ":" and lower-cased.
  FUZZ_CHECK(ref::FindText(host, "/", 1, false) == -1, "host holds a slash");
  FUZZ_CHECK(ref::FindText(host, ":", 1, false) == -1, "host holds a colon");
  FUZZ_CHECK(ref::ToLower(host) == host, "host is not lower-cased");
  FUZZ_CHECK(host.size() <= url.size(), "host longer than the URL");

  // The path is "/" or a tail of the URL that begins with "/".
  FUZZ_CHECK(!path.empty() && path[0] == '/', "path does not begin with a slash");
  FUZZ_CHECK(path == "/" || (path.size() <= url.size() &&
                             url.compare(url.size() - path.size(), path.size(), path) == 0),
             "path is not a tail of the URL");

  // A plain URL with a port written in digits gives that port.
  const std::string probe = "http://h:" + std::to_string(size % 65536) + "/" + url;
  FUZZ_CHECK(pellora::UrlPort(probe) == static_cast<int>(size % 65536), "written port");
  return 0;
}
