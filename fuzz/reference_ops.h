// Naive references for the differential fuzz targets: the text rules written
// as directly as possible, with no attention to speed. Every byte is an
// ordinary byte (zero bytes included); a byte of 0x80 or above starts a
// double-byte character unless it is the last byte, which then stands alone.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ref {

inline bool IsLead(char c) { return static_cast<unsigned char>(c) >= 0x80; }

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool SameAt(std::string_view text, size_t at, std::string_view sub, bool ignoreCase) {
  for (size_t k = 0; k < sub.size(); ++k) {
    const char a = text[at + k], b = sub[k];
    if (ignoreCase ? FoldAscii(a) != FoldAscii(b) : a != b) return false;
  }
  return true;
}

// Offset where a search starting at the 1-based `start` begins.
inline size_t StartOffset(int start) {
  return start <= 1 ? 0 : static_cast<size_t>(start) - 1;
}

// Length of the character beginning at byte i.
inline size_t CharLength(std::string_view text, size_t i) {
  return (IsLead(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

inline int FindText(std::string_view text, std::string_view sub, int start, bool ignoreCase) {
  const size_t len = text.size();
  size_t i = StartOffset(start);
  if (i >= len) return -1;
  if (sub.empty()) return 1;
  // Candidates are the character beginnings reached by stepping from `i`.
  while (i < len && len - i >= sub.size()) {
    if (SameAt(text, i, sub, ignoreCase)) return static_cast<int>(i + 1);
    i += IsLead(text[i]) ? 2 : 1;
  }
  return -1;
}

inline std::string ReplaceSubtext(std::string_view text, std::string_view sub,
                                  std::string_view replacement, int start,
                                  std::optional<int> count, bool caseSensitive) {
  const size_t len = text.size();
  const size_t s = StartOffset(start);
  if (text.empty() || sub.empty() || s >= len || (count && *count <= 0)) {
    return std::string(text);
  }
  std::string out(text.substr(0, s));
  size_t i = s;
  int done = 0;
  while (i < len && len - i >= sub.size()) {
    if (SameAt(text, i, sub, !caseSensitive)) {
      out += replacement;
      i += sub.size();
      if (count && ++done == *count) break;
    } else {
      const size_t step = CharLength(text, i);
      out += text.substr(i, step);
      i += step;
    }
  }
  if (i < len) out += text.substr(i);
  return out;
}

inline std::string ReplaceSubbytes(std::string_view bytes, std::string_view run,
                                   std::string_view replacement, int start,
                                   std::optional<int> count) {
  const size_t len = bytes.size();
  const size_t s = StartOffset(start);
  if (bytes.empty() || run.empty() || s >= len || (count && *count <= 0)) {
    return std::string(bytes);
  }
  std::string out(bytes.substr(0, s));
  size_t i = s;
  int done = 0;
  while (i < len && len - i >= run.size()) {
    if (bytes.substr(i, run.size()) == run) {
      out += replacement;
      i += run.size();
      if (count && ++done == *count) break;
    } else {
      out += bytes[i++];
    }
  }
  if (i < len) out += bytes.substr(i);
  return out;
}

inline std::string TrimBoth(std::string_view text) {
  struct Char { size_t at, length; };
  std::vector<Char> chars;
  for (size_t i = 0; i < text.size(); i += chars.back().length) {
    chars.push_back({i, CharLength(text, i)});
  }
  auto blank = [&](const Char& c) {
    return (c.length == 1 && text[c.at] == ' ') ||
           (c.length == 2 && text.substr(c.at, 2) == "\xA1\xA1");
  };
  size_t first = 0;
  while (first < chars.size() && blank(chars[first])) ++first;
  if (first == chars.size()) return {};
  size_t last = chars.size() - 1;
  while (blank(chars[last])) --last;
  const size_t from = chars[first].at;
  return std::string(text.substr(from, chars[last].at + chars[last].length - from));
}

inline std::string ToLower(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const size_t step = CharLength(text, i);
    if (step == 1) {
      out += FoldAscii(text[i]);
    } else {
      out += text.substr(i, 2);
    }
    i += step;
  }
  return out;
}

inline std::string Left(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, std::min<size_t>(static_cast<size_t>(n), text.size())));
}

inline std::string Right(std::string_view text, int n) {
  if (n <= 0) return {};
  const size_t k = std::min<size_t>(static_cast<size_t>(n), text.size());
  return std::string(text.substr(text.size() - k));
}

inline std::string Mid(std::string_view text, int start, int n) {
  const int64_t len = static_cast<int64_t>(text.size());
  if (start <= 0 || start > len || n <= 0) return {};
  const int64_t k = std::min<int64_t>(n, len - start + 1);
  return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(k)));
}

inline std::string ReplaceTextAt(std::string_view text, int start, int length,
                                 std::string_view replacement) {
  const int64_t len = static_cast<int64_t>(text.size());
  const int64_t p = std::clamp<int64_t>(static_cast<int64_t>(start) - 1, 0, len);
  const int64_t gone = length <= 0 ? 0 : std::min<int64_t>(length, len - p);
  std::string out(text.substr(0, static_cast<size_t>(p)));
  out += replacement;
  out += text.substr(static_cast<size_t>(p + gone));
  return out;
}

inline int Order(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare compares as unsigned char
  return (c > 0) - (c < 0);
}

inline int32_t Truncate(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace ref
