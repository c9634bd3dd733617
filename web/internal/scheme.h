// Scheme tests on URL texts, in any letter case.
#pragma once

#include <string_view>

namespace pellora::internal {

// True when `url` begins with `prefix`, ASCII letters compared in any case.
[[nodiscard]] bool StartsWithNoCase(std::string_view url, std::string_view prefix);

// True when the URL begins with "https://" in any letter case.
[[nodiscard]] bool IsSecureUrl(std::string_view url);

// The port of an https:// URL: the number after the first ":" of the part
// between the scheme and the first "/", or 443 when that part has no ":".
// A port text that is no number gives 0.
[[nodiscard]] int SecurePort(std::string_view url);

}  // namespace pellora::internal
