// Searching, cutting, replacing, trimming, case folding and converting texts
// and byte strings. Every function is pure and safe on any thread.
//
// Common rules:
// - Positions are 1-based byte positions counted from the first byte of the
//   whole text; -1 means "not found"; out-of-range positions and counts are
//   clamped as each contract says.
// - Character stepping: a byte of 0x80 or above and the byte after it form one
//   double-byte character. A malformed text whose last byte is such a lead byte
//   ends with a one-byte character: no operation reads past the end. Such a
//   byte is never a blank, never folds and is copied unchanged.
// - Results are int: a length above INT_MAX reads as INT_MAX, and a match
//   whose 1-based position would exceed INT_MAX is not reported (-1).
// - Case folding, where asked for, folds only the ASCII letters A-Z / a-z.
#pragma once

#include <optional>
#include <string_view>

#include "values/value_types.h"

namespace pellora {

// Position of the first occurrence of `sub` at or after `start`, stepping over
// whole characters from the start byte; -1 when none. A start of 1 or less
// searches from the first byte; the byte at the start is taken as a character
// start even inside a double-byte character. A start past the end gives -1,
// even for an empty `sub`; otherwise an empty `sub` gives 1. With ignoreCase
// only ASCII letters fold (second bytes included). Linear in the text.
[[nodiscard]] int FindText(std::string_view text, std::string_view sub, int start = 1,
                           bool ignoreCase = false);

// Length in bytes (INT_MAX for a longer text).
[[nodiscard]] int TextLength(std::string_view text);

// The first / last min(n, length) bytes; empty when n <= 0. May cut a
// double-byte character in two.
[[nodiscard]] Text TextLeft(std::string_view text, int n);
[[nodiscard]] Text TextRight(std::string_view text, int n);

// min(n, length - start + 1) bytes from `start`; empty when start <= 0,
// start > length or n <= 0.
[[nodiscard]] Text TextMid(std::string_view text, int start, int n);

// Replaces occurrences of `sub` left to right, without overlap, scanning from
// `start` character by character; a replacement is never rescanned and the
// scan goes on at the end of each match as at a character start. A left-out
// count replaces every occurrence; a count of 0 or below replaces nothing.
// Empty `text` or `sub`, or a start past the end, give `text` unchanged.
[[nodiscard]] Text ReplaceSubtext(std::string_view text, std::string_view sub,
                                  std::string_view replacement = {}, int start = 1,
                                  std::optional<int> count = std::nullopt,
                                  bool caseSensitive = true);

// Deletes min(length, textLength - p) bytes at offset p = clamp(start - 1,
// 0, textLength) and inserts `replacement` there.
[[nodiscard]] Text ReplaceTextAt(std::string_view text, int start, int length,
                                 std::string_view replacement = {});

// Removes leading and trailing blanks: spaces and full-width spaces (A1 A1 as
// one whole character, stepping from the first byte). Tabs and line ends are
// not blanks.
[[nodiscard]] Text TrimBoth(std::string_view text);

// ASCII capitals made small; double-byte characters copied unchanged.
[[nodiscard]] Text ToLower(std::string_view text);

// 0 when equal, else negative or positive. Without case sensitivity ASCII
// letters fold, and double-byte characters compare after the code page 936
// upper-case mapping (full-width letters match). The mapping covers the
// full-width Latin letters (A3 E1..FA -> A3 C1..DA), Greek (A6 C1..D8 ->
// A6 A1..B8), Cyrillic (A7 D1..F1 -> A7 A1..C1) and the small Roman numerals
// (A2 A1..AA -> A2 F1..FA). Differing characters order by their mapped bytes
// as unsigned values; a proper prefix orders first.
[[nodiscard]] int CompareText(std::string_view a, std::string_view b, bool caseSensitive);

// Bytes up to (not including) the first zero byte.
[[nodiscard]] Text ToText(std::string_view bytes);
// A null pointer gives the empty text.
[[nodiscard]] Text ToText(const char* bytes);
// Decimal digits, "-" before a negative number.
[[nodiscard]] Text ToText(int value);
// C "%.13g" in the C locale (so "2.5", "3", "1e+13", "1e-05"); infinities
// give "inf" / "-inf", not-a-number gives "nan".
[[nodiscard]] Text ToText(double value);
// "真" for true, "假" for false (in code page 936).
[[nodiscard]] Text ToText(bool value);

// atof after mapping full-width digits, letters, signs and blanks to ASCII;
// 0 when no number starts the text. Read independently of the process
// locale: white space, a sign, digits with an optional '.', an optional
// exponent. Hexadecimal, "inf" and "nan" forms are not numbers (0, or the
// leading "0" of "0x.."); a value out of range gives +-HUGE_VAL or rounds to
// a tiny value or 0.
[[nodiscard]] double ToNumber(std::string_view text);

// The bytes of a text.
[[nodiscard]] ByteString ToBytes(std::string_view text);
[[nodiscard]] int BytesLength(std::string_view bytes);
[[nodiscard]] ByteString BytesLeft(std::string_view bytes, int n);

// As ReplaceSubtext, but on raw bytes: every byte offset is a candidate.
[[nodiscard]] ByteString ReplaceSubbytes(std::string_view bytes, std::string_view run,
                                         std::string_view replacement = {}, int start = 1,
                                         std::optional<int> count = std::nullopt);

// n spaces / n zero bytes; empty when n <= 0.
[[nodiscard]] Text BlankText(int n);
[[nodiscard]] ByteString BlankBytes(int n);

}  // namespace pellora
