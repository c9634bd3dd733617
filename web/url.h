// Taking a URL text apart by literal pieces ("https://", "http://", "/", ":").
// No URI grammar: each function cuts at the first place found. Searches step
// over code page 936 characters, never matching inside a double-byte one.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The host, lower-cased (ASCII only), without scheme, port or path. A leading
// "http://" or "https://" is removed in any letter case; every further
// "https://" and then every "http://" (exact case) is removed as well. The
// rest is cut at the first "/" and then at the first ":" only, so a query
// right after the host stays in it ("http://h?x=1" gives "h?x=1").
[[nodiscard]] Text UrlHost(std::string_view url);

// Everything from the first "/" after the host to the end of the URL (query
// and fragment included, letter case unchanged), or "/" when there is none.
// The host is looked for after the leading scheme, ignoring case.
[[nodiscard]] Text UrlPath(std::string_view url);

// The number written after the first ":" of the authority, or 80 when there
// is no ":". For an "http://" URL (any letter case) the authority lies between
// the scheme and the next "/"; for any other URL it is everything before the
// first "/", so an "https://" URL gives 0. A port text that does not begin
// with a number gives 0; values beyond the 32-bit range saturate.
[[nodiscard]] int UrlPort(std::string_view url);

}  // namespace pellora
