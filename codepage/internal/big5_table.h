// Big5 (code page 950) to code page 936 in simplified characters, as one
// table over the Big5 byte sequences, built once on first use.
#pragma once

#include <cstdint>
#include <vector>

namespace pellora::internal {

struct Big5Table {
  // Marks, in `single`, a byte that starts a pair and, in `pair`, a second
  // byte that does not continue the lead byte.
  static constexpr uint16_t kLeadByte = 0xFFFF;
  static constexpr uint16_t kNoPair = 0xFFFF;

  // The 936 bytes for each byte on its own, packed as GbkTable::Encode packs
  // them ('?' where the byte means nothing or has no 936 form).
  uint16_t single[256];
  // [lead << 8 | second byte]: the 936 bytes of the pair's simplified
  // character, '?' for an unassigned pair or one without a 936 form.
  std::vector<uint16_t> pair;
};

// The process-wide table; built on first use, safely for threads.
const Big5Table& GetBig5Table();

// The simplified form of one character, taken from ICU's Traditional-Simplified
// transliterator one character at a time (its phrase rules never apply). A
// character the transliterator leaves alone, or turns into anything but one
// BMP character, maps to itself.
std::vector<char16_t> SimplifiedForms(const std::vector<char16_t>& characters);

}  // namespace pellora::internal
