// Cutting a piece out of a text by the literal marker text around it. The
// first occurrence always wins; a marker matches only where a character
// begins. Failures give the empty text.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The text between the first `startMarker` at or after `start` and the first
// `endMarker` after it. "#引号" in a marker stands for a double quote. By
// default case is ignored (ASCII letters only).
[[nodiscard]] Text TextBetween(std::string_view source,
                               std::string_view startMarker,
                               std::string_view endMarker, int start = 0,
                               bool caseSensitive = false);

// The text from the first byte up to the first `marker` found from `start`;
// empty when there is none. By default the search is exact.
[[nodiscard]] Text TextBefore(std::string_view source, std::string_view marker,
                              int start = 0, bool ignoreCase = false);

}  // namespace pellora
