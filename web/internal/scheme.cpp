#include "web/internal/scheme.h"

#include "values/text_ops.h"
#include "values/value_types.h"

namespace pellora::internal {

bool StartsWithNoCase(std::string_view url, std::string_view prefix) {
  if (url.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = url[i];
    char b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool IsSecureUrl(std::string_view url) { return StartsWithNoCase(url, "https://"); }

int SecurePort(std::string_view url) {
  std::string_view authority = url.substr(url.size() < 8 ? url.size() : 8);
  authority = authority.substr(0, authority.find('/'));
  const std::size_t colon = authority.find(':');
  if (colon == std::string_view::npos) return 443;
  return TruncateToWhole(ToNumber(authority.substr(colon + 1)));
}

}  // namespace pellora::internal
