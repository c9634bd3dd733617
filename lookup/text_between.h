// Cutting a piece out of a text by the literal marker text around it. The
// first occurrence always wins; a marker matches only where a character
// begins (never at the second byte of a double-byte character). Failures give
// the empty text, which callers cannot tell apart from an empty piece.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The text between the first `startMarker` found from `start` and the first
// `endMarker` after it; empty when either is missing. "#引号" in a marker
// stands for a double quote. By default case is ignored (ASCII letters only);
// `caseSensitive` asks for exact matching. A start of 1 or less searches from
// the first byte; the same start is applied again to the text after the start
// marker, counted from that text's first byte. An empty start marker matches
// at the first byte; an empty end marker always gives the empty text.
[[nodiscard]] Text TextBetween(std::string_view source, std::string_view startMarker,
                               std::string_view endMarker, int start = 0,
                               bool caseSensitive = false);

// The text from the first byte (not from `start`) up to the first `marker`
// found from `start`; empty when there is none. By default the search is
// exact; `ignoreCase` folds ASCII letters.
[[nodiscard]] Text TextBefore(std::string_view source, std::string_view marker, int start = 0,
                              bool ignoreCase = false);

}  // namespace pellora
