// Decoding of the escapes in a lookup reply.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// Decodes a code page 936 text as the body of a single-quoted script string
// literal ("\u4e2d", "\n", "\x41", octal, "\\", "\"") and then as an
// `unescape` argument ("%u4e2d", "%41"), returning code page 936 text;
// characters without a 936 form become "?". CR LF pairs come back unchanged.
[[nodiscard]] Text UnescapeText(std::string_view text);

}  // namespace pellora
