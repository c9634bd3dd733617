// Tables of one-or-two-byte code pages read off ICU converters once, one byte
// sequence at a time, so that the conversion loops can work from plain arrays
// and give a fixed result for every byte sequence.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace pellora::internal {

struct DbcsDecodeTable {
  // In `single`: the byte starts a two-byte character.
  static constexpr char16_t kLeadByte = 0xFFFF;
  // In `pair`: the second byte does not continue the lead byte; the lead byte
  // alone is invalid and the second byte is read again on its own.
  static constexpr char16_t kNoPair = 0xFFFF;

  // What each byte means on its own; '?' where it means nothing.
  std::array<char16_t, 256> single{};
  // Indexed by lead << 8 | second byte: the UTF-16 unit of the pair, '?' for
  // a well-formed pair the code page leaves unassigned, or kNoPair.
  std::vector<char16_t> pair;
};

// Reads the decoding table of the named converter. When ICU lacks the
// converter, ASCII decodes to itself and every other byte to '?'.
DbcsDecodeTable ProbeDecodeTable(const char* converterName);

// For every UTF-16 unit, its bytes in the named code page packed as one value
// (a value below 0x100 is one byte, otherwise high byte first); '?' for units
// without a form there, surrogates included. Without the converter, ASCII maps
// to itself and everything else to '?'.
std::vector<uint16_t> ProbeEncodeTable(const char* converterName);

}  // namespace pellora::internal
