// Code page 936 one character at a time, for decoders that must see whole
// characters (118 characters have a backslash, 0x5C, as their second byte) and
// for fast conversion loops. Built once from ICU's windows-936 tables and then
// shared read-only by every thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class GbkTable {
 public:
  // The process-wide table; built on first use, safely for threads.
  static const GbkTable& Get();

  // Decodes the character that starts at text[pos] (pos < text.size()) into
  // one UTF-16 unit and returns how many bytes it took (1 or 2). Bytes without
  // a meaning decode to '?': a lead byte whose next byte cannot follow it, or
  // that ends the text, takes one byte; an unassigned pair takes two.
  int Decode(std::string_view text, std::size_t pos, char16_t& unit) const noexcept {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const char16_t single = single_[lead];
    if (single != kLeadByte) {
      unit = single;
      return 1;
    }
    if (pos + 1 < text.size()) {
      const char16_t pair = pair_[lead << 8 | static_cast<unsigned char>(text[pos + 1])];
      if (pair != kNoPair) {
        unit = pair;
        return 2;
      }
    }
    unit = u'?';
    return 1;
  }

  // The 936 bytes of one UTF-16 unit packed as one value: below 0x100 a single
  // byte, otherwise two bytes, high byte first. '?' when the unit has no 936
  // form (every surrogate included).
  uint16_t Encode(char16_t unit) const noexcept { return encode_[unit]; }

  // Appends the 936 bytes of `unit` (see Encode).
  void Append(char16_t unit, std::string& out) const {
    const uint16_t bytes = encode_[unit];
    if (bytes < 0x100) {
      out.push_back(static_cast<char>(bytes));
    } else {
      const char two[2] = {static_cast<char>(bytes >> 8), static_cast<char>(bytes & 0xFF)};
      out.append(two, 2);
    }
  }

 private:
  GbkTable();

  static constexpr char16_t kLeadByte = 0xFFFF;
  static constexpr char16_t kNoPair = 0xFFFF;

  char16_t single_[256];
  std::vector<char16_t> pair_;    // [lead << 8 | trail]
  std::vector<uint16_t> encode_;  // [unit]
};

}  // namespace pellora
