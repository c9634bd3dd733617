// Conversions between code page 936 (GBK) text and other encodings. All
// converters are made once and shared safely between threads; results never
// depend on the machine's locale.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// UTF-8 to code page 936. Characters without a 936 form become "?".
[[nodiscard]] Text Utf8ToAnsi(std::string_view utf8);

// Big5 to code page 936 with traditional characters mapped to simplified
// ones. A character that 936 cannot hold becomes "?".
[[nodiscard]] Text Big5ToGbk(std::string_view big5);

// Code page 936 to UTF-8 (for handing text to the window toolkit).
[[nodiscard]] std::string AnsiToUtf8(std::string_view gbk);

}  // namespace pellora
