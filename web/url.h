// Taking a URL text apart by literal pieces ("https://", "http://", "/", ":").
// No URI grammar: each function cuts at the first place found.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The host, lower-cased, without scheme (in any letter case), port or path;
// cut only at "/" and ":".
[[nodiscard]] Text UrlHost(std::string_view url);

// Everything from the first "/" after the host to the end, or "/".
[[nodiscard]] Text UrlPath(std::string_view url);

// The port written after the host of an http:// URL, 80 when none is written,
// 0 when it is not a number (and for https:// URLs).
[[nodiscard]] int UrlPort(std::string_view url);

}  // namespace pellora
