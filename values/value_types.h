// The value types every component works with: Text, ByteString and
// ByteStringArray, with their comparisons and the joining operations.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// A run of code page 936 (GBK) bytes. A byte of 0x80 or above starts a
// double-byte character. Positions are 1-based byte positions. A Text made by
// ToText never holds a zero byte; the operations treat any byte they are given
// as an ordinary byte. "Absent" and empty are the same: the empty string.
using Text = std::string;

// A length and that many bytes of any value, zero bytes included.
using ByteString = std::string;

// An ordered list of byte strings indexed from 1. Access outside 1..ArrayCount
// stops the program with a message naming the index and the count.
class ByteStringArray {
 public:
  ByteStringArray() = default;
  // An array of `count` empty elements (a negative count gives none).
  explicit ByteStringArray(int count);

  ByteString& operator[](int k);
  const ByteString& operator[](int k) const;

  friend int ArrayCount(const ByteStringArray& array);
  friend void ResizeArray(ByteStringArray& array, int n);

 private:
  std::vector<ByteString> elements_;
};

// Number of elements.
[[nodiscard]] int ArrayCount(const ByteStringArray& array);

// Keeps the first min(count, n) elements in place, drops the rest, and adds
// empty elements up to n. A negative n gives an empty array.
void ResizeArray(ByteStringArray& array, int n);

// All parts one after the other.
[[nodiscard]] Text ConcatText(std::initializer_list<std::string_view> parts);
[[nodiscard]] ByteString ConcatBytes(std::initializer_list<std::string_view> parts);

// The exact text order: bytes compared as unsigned values, a proper prefix
// sorting first. Returns -1, 0 or 1. No case folding, no character awareness.
[[nodiscard]] int TextOrder(std::string_view a, std::string_view b);

// Byte strings are equal when they have the same length and the same bytes.
[[nodiscard]] bool BytesEqual(std::string_view a, std::string_view b);

// A real number used as a whole number: truncated toward zero, saturating at
// the 32-bit limits, NaN giving 0.
[[nodiscard]] int32_t TruncateToWhole(double value);

}  // namespace pellora
