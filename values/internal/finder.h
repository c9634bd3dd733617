// Substring search shared by FindText, ReplaceSubtext and ReplaceSubbytes.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pellora::internal {

inline bool IsLeadByte(unsigned char b) { return b >= 0x80; }

inline unsigned char FoldAscii(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// Searches one needle, possibly many times over the same or other texts.
//
// With character awareness a match counts only where it starts a character,
// stepping from the `from` offset given to Find: a byte of 0x80 or above and
// the next byte form one character. Candidates come from memmem / memchr and
// their boundary is resolved lazily (see IsBoundary in the .cpp), so ASCII runs
// are skipped at memchr speed. Every Find is linear in the bytes it passes
// plus the needle's length: when candidates cost too much to check, it
// finishes with a Knuth-Morris-Pratt scan.
class Finder {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // `needle` must outlive the Finder and must not be empty.
  Finder(std::string_view needle, bool ignoreCase, bool characterAware);

  // Offset of the first match starting at or after `from`, with `from` taken
  // as a character start; npos when none lies wholly inside `text`.
  std::size_t Find(std::string_view text, std::size_t from);

 private:
  class Boundaries;

  std::size_t FindWithMemmem(std::string_view text, std::size_t from);
  std::size_t FindFolded(std::string_view text, std::size_t from);
  std::size_t FindWithTable(std::string_view text, std::size_t from, Boundaries& boundaries);
  void BuildTable();

  std::string_view needle_;
  bool ignoreCase_;
  bool characterAware_;
  std::size_t anchor_ = 0;             // needle index scanned for when folding
  std::vector<unsigned char> folded_;  // the needle, folded when ignoring case
  std::vector<std::size_t> fail_;      // KMP failure function, built on demand
};

}  // namespace pellora::internal
