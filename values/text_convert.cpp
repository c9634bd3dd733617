// CompareText, ToText and ToNumber.
#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "values/internal/finder.h"
#include "values/text_ops.h"

namespace pellora {

namespace {

using internal::IsLeadByte;

unsigned char UpperAscii(unsigned char b) {
  return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 32) : b;
}

// The second byte of a double-byte character after the code page 936
// upper-case mapping. Covered: full-width Latin letters, Greek, Cyrillic and
// the small Roman numerals; every other character maps to itself.
unsigned char UpperSecondByte(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xA3:  // full-width a-z -> A-Z
      if (second >= 0xE1 && second <= 0xFA) return second - 0x20;
      break;
    case 0xA6:  // Greek small -> capital
      if (second >= 0xC1 && second <= 0xD8) return second - 0x20;
      break;
    case 0xA7:  // Cyrillic small -> capital
      if (second >= 0xD1 && second <= 0xF1) return second - 0x30;
      break;
    case 0xA2:  // small Roman numerals i-x -> capital I-X
      if (second >= 0xA1 && second <= 0xAA) return second + 0x50;
      break;
    default:
      break;
  }
  return second;
}

// Copies `text` with full-width digits, letters, signs, the full-width space,
// tilde and stars replaced by their ASCII counterparts.
std::string MapFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* d = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = d[i];
    if (!IsLeadByte(b) || i + 1 >= n) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const unsigned char c = d[i + 1];
    if (b == 0xA3 && c >= 0xA1 && c <= 0xFE) {
      out.push_back(static_cast<char>(c - 0x80));
    } else if (b == 0xA1 && c == 0xA1) {
      out.push_back(' ');
    } else if (b == 0xA1 && c == 0xAB) {
      out.push_back('~');
    } else if (b == 0xA1 && (c == 0xEE || c == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(static_cast<char>(b));
      out.push_back(static_cast<char>(c));
    }
    i += 2;
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The "C" locale, made once and kept for the life of the process, so that
// number parsing never depends on the locale the program runs under.
locale_t ClassicLocale() {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
  return classic;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b, bool caseSensitive) {
  if (caseSensitive) return TextOrder(a, b);
  const auto* da = reinterpret_cast<const unsigned char*>(a.data());
  const auto* db = reinterpret_cast<const unsigned char*>(b.data());
  // While the texts agree, their characters start at the same offsets, since
  // the mapping keeps every byte's class (lead or not).
  std::size_t i = 0;
  while (i < a.size() && i < b.size()) {
    unsigned char ka[2] = {UpperAscii(da[i]), 0};
    unsigned char kb[2] = {UpperAscii(db[i]), 0};
    const std::size_t la = (IsLeadByte(da[i]) && i + 1 < a.size()) ? 2 : 1;
    const std::size_t lb = (IsLeadByte(db[i]) && i + 1 < b.size()) ? 2 : 1;
    if (la == 2) {
      ka[0] = da[i];
      ka[1] = UpperSecondByte(da[i], da[i + 1]);
    }
    if (lb == 2) {
      kb[0] = db[i];
      kb[1] = UpperSecondByte(db[i], db[i + 1]);
    }
    if (ka[0] != kb[0]) return ka[0] < kb[0] ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;  // a lone final lead byte first
    if (la == 2 && ka[1] != kb[1]) return ka[1] < kb[1] ? -1 : 1;
    i += la;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

Text ToText(std::string_view bytes) { return std::string(bytes.substr(0, bytes.find('\0'))); }

Text ToText(const char* bytes) { return bytes == nullptr ? std::string() : std::string(bytes); }

Text ToText(int value) {
  char buf[16];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

Text ToText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  // to_chars with a precision formats as "%.13g" does in the C locale.
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
  return std::string(buf, result.ptr);
}

Text ToText(bool value) { return value ? "\xD5\xE6" : "\xBC\xD9"; }

double ToNumber(std::string_view text) {
  const std::string mapped = MapFullWidth(text);
  const std::size_t n = mapped.size();
  std::size_t i = 0;
  while (i < n && IsCSpace(mapped[i])) ++i;
  const std::size_t begin = i;
  if (i < n && (mapped[i] == '+' || mapped[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(mapped[i])) ++i, ++digits;
  if (i < n && mapped[i] == '.') {
    ++i;
    while (i < n && IsDigit(mapped[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  if (i < n && (mapped[i] == 'e' || mapped[i] == 'E')) {
    std::size_t k = i + 1;
    if (k < n && (mapped[k] == '+' || mapped[k] == '-')) ++k;
    if (k < n && IsDigit(mapped[k])) {
      while (k < n && IsDigit(mapped[k])) ++k;
      i = k;
    }
  }
  // Only the validated decimal form reaches strtod, so hexadecimal, "inf" and
  // "nan" forms are not numbers here; out-of-range values give +-HUGE_VAL or
  // a (possibly subnormal) tiny value, as atof does.
  const std::string number = mapped.substr(begin, i - begin);
  return strtod_l(number.c_str(), nullptr, ClassicLocale());
}

}  // namespace pellora
