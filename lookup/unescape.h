// Decoding of the escapes in a lookup reply.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// Decodes a code page 936 text as the body of a single-quoted script string
// literal and then as the argument of the script function `unescape`,
// returning code page 936 text. In order:
// - CR LF pairs come back unchanged; a CR that starts the text without its LF
//   is dropped; any other lone CR or LF comes back unchanged.
// - Literal escapes: "\b" "\t" "\n" "\v" "\f" "\r", "\x" with two hex digits,
//   octal ("\0" to "\377", at most three digits), and a backslash before any
//   other character stands for that character ("\"", "\\", "\/", "\U").
//   "\u" is read as "%u" (so "\\u4e2d" gives the character too). A malformed
//   "\x" keeps its characters; a backslash before a line break, or one that
//   ends the text unpaired, stays a backslash.
// - `unescape`: "%u" with four hex digits gives that UTF-16 unit, "%" with two
//   that code (0-255); any other "%" stays.
// - The result in code page 936: characters without a 936 form become "?"
//   (one "?" for a surrogate pair); "’" (U+2019) comes back as "'", and "{$}"
//   as CR LF. Bytes of the input with no 936 meaning are read as "?".
// Works on whole characters: a second byte of 0x5C or 0x75 is never taken for
// "\" or "u". One pass; the empty text gives the empty text.
[[nodiscard]] Text UnescapeText(std::string_view text);

}  // namespace pellora
