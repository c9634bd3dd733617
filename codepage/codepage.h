// Conversions between code page 936 (GBK) text and other encodings. The
// tables match the Windows code pages 936 and 950; converters are made once
// and shared safely between threads; results never depend on the machine's
// locale. Every byte of the input is converted, a zero byte included (it
// becomes a zero byte); a caller that wants text up to the first zero byte
// cuts it first (ToText).
#pragma once

#include <string>
#include <string_view>

#include "values/value_types.h"

namespace pellora {

// UTF-8 to code page 936. Characters without a 936 form become "?", one "?"
// per character (a character beyond U+FFFF and an invisible one such as
// U+200B included). Each maximal invalid
// UTF-8 sequence (a stray continuation byte, a cut-off sequence, an overlong
// form, an encoded surrogate) becomes one "?". The empty text gives the empty
// text.
[[nodiscard]] Text Utf8ToAnsi(std::string_view utf8);

// Big5 (code page 950) to code page 936 with traditional characters mapped to
// their simplified forms, character by character. A character that 936
// cannot hold becomes "?"; so does an unassigned pair, and a lead byte that no
// valid second byte follows (that next byte is then read on its own).
[[nodiscard]] Text Big5ToGbk(std::string_view big5);

// Code page 936 to UTF-8 (for handing text to the window toolkit). Invalid
// sequences become "?" by the rules of GbkTable::Decode.
[[nodiscard]] std::string AnsiToUtf8(std::string_view gbk);

}  // namespace pellora
