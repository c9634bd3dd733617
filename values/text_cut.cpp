// Lengths, cuts, trimming, lower-casing and the simple conversions.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "values/internal/finder.h"
#include "values/text_ops.h"

namespace pellora {

namespace {

using internal::IsLeadByte;

int SaturatedLength(std::string_view s) {
  return s.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(s.size());
}

std::string Left(std::string_view s, int n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, static_cast<std::size_t>(n)));
}

constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kWideSpaceByte = 0xA1;  // A1 A1 is the full-width space

}  // namespace

int TextLength(std::string_view text) { return SaturatedLength(text); }

int BytesLength(std::string_view bytes) { return SaturatedLength(bytes); }

Text TextLeft(std::string_view text, int n) { return Left(text, n); }

ByteString BytesLeft(std::string_view bytes, int n) { return Left(bytes, n); }

Text TextRight(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t take = std::min(text.size(), static_cast<std::size_t>(n));
  return std::string(text.substr(text.size() - take));
}

Text TextMid(std::string_view text, int start, int n) {
  if (start <= 0 || n <= 0 || static_cast<std::size_t>(start) > text.size()) return {};
  return std::string(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

Text ReplaceTextAt(std::string_view text, int start, int length, std::string_view replacement) {
  const std::size_t len = text.size();
  const std::size_t p = start <= 1 ? 0 : std::min(len, static_cast<std::size_t>(start) - 1);
  const std::size_t cut = length <= 0 ? 0 : std::min(static_cast<std::size_t>(length), len - p);
  std::string out;
  out.reserve(len - cut + replacement.size());
  out.append(text.substr(0, p));
  out.append(replacement);
  out.append(text.substr(p + cut));
  return out;
}

Text TrimBoth(std::string_view text) {
  const auto* d = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();

  std::size_t begin = 0;
  while (begin < n) {
    if (d[begin] == kSpace) {
      ++begin;
    } else if (d[begin] == kWideSpaceByte && begin + 1 < n && d[begin + 1] == kWideSpaceByte) {
      begin += 2;
    } else {
      break;
    }
  }
  if (begin == n) return {};

  // Only the final run of space and A1 bytes can hold trailing blanks. Find
  // where the first character inside it starts without stepping over the
  // whole text: the high bytes right before the run pair up from the nearest
  // low byte (which always ends a character) or from `begin`.
  std::size_t run = n;
  while (run > begin && (d[run - 1] == kSpace || d[run - 1] == kWideSpaceByte)) --run;
  if (run == n) return std::string(text.substr(begin));
  std::size_t highStart = run;
  while (highStart > begin && IsLeadByte(d[highStart - 1])) --highStart;
  // When `run` is a second byte, the pair ending at run + 1 is no blank.
  std::size_t end = ((run - highStart) & 1U) == 0 ? run : run + 1;
  for (std::size_t j = end; j < n;) {
    if (d[j] == kSpace) {
      ++j;
    } else if (d[j] == kWideSpaceByte && j + 1 < n && d[j + 1] == kWideSpaceByte) {
      j += 2;
    } else {
      j += (IsLeadByte(d[j]) && j + 1 < n) ? 2 : 1;
      end = j;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

Text ToLower(std::string_view text) {
  std::string out(text);
  const std::size_t n = out.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(b)) {
      i += 2;  // the second byte is never changed
    } else {
      if (b >= 'A' && b <= 'Z') out[i] = static_cast<char>(b + 32);
      ++i;
    }
  }
  return out;
}

ByteString ToBytes(std::string_view text) { return std::string(text); }

Text BlankText(int n) {
  return n > 0 ? std::string(static_cast<std::size_t>(n), ' ') : std::string();
}

ByteString BlankBytes(int n) {
  return n > 0 ? std::string(static_cast<std::size_t>(n), '\0') : std::string();
}

}  // namespace pellora
