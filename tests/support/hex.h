// Byte strings shown as hexadecimal pairs ("D6 D0 "), so that a failed
// comparison of code page bytes prints something readable.
#pragma once

#include <string>
#include <string_view>

namespace pellora::testing {

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    out += ' ';
  }
  return out;
}

}  // namespace pellora::testing
