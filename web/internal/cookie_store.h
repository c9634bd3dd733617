// The process-wide cookie store shared by every request, keyed by the
// cookie's domain. Lines are in the Netscape format that libcurl's cookie
// list uses: domain, tail match, path, secure, expiry, name, value, separated
// by tabs. libcurl's share interface is not used for this: sharing cookies
// between concurrent transfers through it is not supported, so each request
// loads its own handle from this store and merges the handle's list back.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pellora::internal {

class CookieStore {
 public:
  // The one store of the process. It is never destroyed, so a worker still
  // running at exit can use it.
  static CookieStore& Instance();

  // Every stored line whose domain is `host` or a parent domain of it
  // (libcurl then applies its own domain, path, secure and expiry rules).
  [[nodiscard]] std::vector<std::string> LinesFor(std::string_view host) const;

  // Folds a finished transfer's cookie list into the store: each line of
  // `after` replaces the stored cookie with the same domain, path and name;
  // a cookie that was loaded (`loaded`) but is missing from `after` was
  // removed or expired during the transfer and leaves the store. Lines that
  // are not in the Netscape format are ignored.
  void Merge(const std::vector<std::string>& loaded,
             const std::vector<std::string>& after);

  // Removes every cookie.
  void Clear();

 private:
  struct Key {
    std::string domain;
    std::string pathAndName;
  };
  static bool ParseKey(std::string_view line, Key& key);

  mutable std::mutex mutex_;
  // domain -> (path, name) -> line
  std::map<std::string, std::map<std::string, std::string>, std::less<>> byDomain_;
};

}  // namespace pellora::internal
