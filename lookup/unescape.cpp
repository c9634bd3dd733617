#include "lookup/unescape.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "codepage/gbk_table.h"

namespace pellora {
namespace {

// The decoding follows a fixed order: the reply is prepared (CR LF becomes
// "{$}", a CR that starts the text alone is dropped, "\u" becomes "%u", "'"
// becomes "’"), read as the body of a single-quoted script string literal,
// passed through the script function `unescape`, converted to code page 936,
// and finally "’" becomes "'" again and "{$}" becomes CR LF. One pass over
// the reply does all of it: the preparation is applied as each character is
// read, and the later stages are fed one UTF-16 unit at a time, each holding
// back only the few units an escape or placeholder might still need.

// An apostrophe travels as "’" (so a "’" in the reply also comes back as "'").
constexpr char16_t kRightQuote = 0x2019;

// -1 for a byte that is no hex digit, else its value.
constexpr std::array<int8_t, 256> kHexValue = [] {
  std::array<int8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = b >= '0' && b <= '9'   ? static_cast<int8_t>(b - '0')
               : b >= 'a' && b <= 'f' ? static_cast<int8_t>(b - 'a' + 10)
               : b >= 'A' && b <= 'F' ? static_cast<int8_t>(b - 'A' + 10)
                                      : int8_t{-1};
  }
  return table;
}();

// Bytes that pass every stage unchanged while no stage holds anything back:
// ASCII other than the backslash, the CR, the apostrophe, "%" and "{".
constexpr std::array<bool, 256> kPlainByte = [] {
  std::array<bool, 256> table{};
  for (int b = 0; b < 0x80; ++b) table[b] = true;
  for (char c : {'\\', '\r', '\'', '%', '{'}) table[static_cast<unsigned char>(c)] = false;
  return table;
}();

constexpr int HexOfUnit(char16_t c) { return c < 0x80 ? kHexValue[c] : -1; }
constexpr bool IsOctal(unsigned char c) { return c >= '0' && c <= '7'; }
constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The value of four hex digits at text[at..at+3], or -1.
int FourHex(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) return -1;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data() + at);
  const int a = kHexValue[p[0]], b = kHexValue[p[1]], c = kHexValue[p[2]], d = kHexValue[p[3]];
  if ((a | b | c | d) < 0) return -1;
  return a << 12 | b << 8 | c << 4 | d;
}

class Decoder {
 public:
  Decoder(std::string_view text, const GbkTable& gbk) : text_(text), gbk_(gbk) {
    // The result is rarely longer than the reply; Reserve grows it otherwise.
    out_.resize(text.size() + kSlack);
    at_ = out_.data();
    end_ = out_.data() + out_.size();
  }

  Text Run() {
    const std::string_view text = text_;
    const std::size_t size = text.size();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    if (size > 0 && text[0] == '\r' && !(size > 1 && text[1] == '\n')) i = 1;
    while (i < size) {
      const unsigned char b = bytes[i];
      if (kPlainByte[b] && Idle()) {
        // Copy the run of plain bytes, as far as the room allows. A local
        // cursor: stores through a char pointer could alias the members.
        Reserve(1);
        char* o = at_;
        const std::size_t limit = std::min(size, i + static_cast<std::size_t>(end_ - o));
        do {
          *o++ = static_cast<char>(bytes[i++]);
        } while (i < limit && kPlainByte[bytes[i]]);
        at_ = o;
        continue;
      }
      if (b >= 0x80) {
        char16_t unit = 0;
        i += gbk_.Decode(text, i, unit);
        PutLiteral(unit);
      } else if (b == '\\') {
        i = Escape(i);
      } else if (b == '\r' && i + 1 < size && text[i + 1] == '\n') {
        PutLiteral('{');
        PutLiteral('$');
        PutLiteral('}');
        i += 2;
      } else {
        PutLiteral(b == '\'' ? kRightQuote : char16_t(b));
        ++i;
      }
    }
    FinishUnescape();
    FinishOutput();
    out_.resize(static_cast<std::size_t>(at_ - out_.data()));
    return std::move(out_);
  }

 private:
  static constexpr std::size_t kSlack = 16;

  bool Idle() const { return held_ == 0 && percentCount_ == 0; }

  // --- The string literal, read straight from the reply's bytes. ---

  // Handles the backslash at text[i]; returns where reading goes on. After
  // preparation a backslash is either the start of "%u" or an escape whose
  // character is the next prepared unit; a hex or octal digit is the same
  // byte before and after preparation, so digits are read from the bytes.
  std::size_t Escape(std::size_t i) {
    const std::string_view text = text_;
    const std::size_t size = text.size();
    if (i + 1 == size) {  // an unpaired backslash at the end stays
      PutLiteral('\\');
      return size;
    }
    const auto e = static_cast<unsigned char>(text[i + 1]);
    std::size_t j = i + 2;
    if (e >= 0x80) {
      char16_t unit = 0;
      j = i + 1 + gbk_.Decode(text, i + 1, unit);
      PutLiteral(unit);
      return j;
    }
    switch (e) {
      case 'u':  // prepared as "%u": no escape at all
        return PercentU(i + 2);
      case 'b':
        PutLiteral(0x08);
        break;
      case 't':
        PutLiteral(0x09);
        break;
      case 'n':
        PutLiteral(0x0A);
        break;
      case 'v':
        PutLiteral(0x0B);
        break;
      case 'f':
        PutLiteral(0x0C);
        break;
      case 'r':
        PutLiteral(0x0D);
        break;
      case 'x':
        if (j + 1 < size && kHexValue[static_cast<unsigned char>(text[j])] >= 0 &&
            kHexValue[static_cast<unsigned char>(text[j + 1])] >= 0) {
          PutLiteral(static_cast<char16_t>(kHexValue[static_cast<unsigned char>(text[j])] << 4 |
                                           kHexValue[static_cast<unsigned char>(text[j + 1])]));
          j += 2;
        } else {  // malformed: kept as it stands
          PutLiteral('\\');
          PutLiteral('x');
        }
        break;
      case '\r':
        if (j < size && text[j] == '\n') {  // "\{" of "{$}": the "{" itself
          PutLiteral('{');
          PutLiteral('$');
          PutLiteral('}');
          ++j;
          break;
        }
        [[fallthrough]];
      case '\n':
        // A line break cannot be escaped: the backslash stays and the line
        // break is read as itself.
        PutLiteral('\\');
        j = i + 1;
        break;
      case '\\':
        // "\\u" is prepared as "\%u": this backslash escapes the "%".
        if (j < size && text[j] == 'u') return PercentU(j + 1);
        PutLiteral('\\');
        break;
      case '\'':
        PutLiteral(kRightQuote);
        break;
      default:
        if (IsOctal(e)) {
          // Up to three digits while the value stays within 0377.
          int value = e - '0';
          const int maxDigits = e <= '3' ? 3 : 2;
          for (int digits = 1;
               digits < maxDigits && j < size && IsOctal(static_cast<unsigned char>(text[j]));
               ++digits) {
            value = value * 8 + (text[j] - '0');
            ++j;
          }
          PutLiteral(static_cast<char16_t>(value));
        } else {
          // Any other character stands for itself ("\"", "\/", "\8", "\U").
          PutLiteral(e);
        }
        break;
    }
    return j;
  }

  // "%u" read from a "\u" whose "u" ends just before `j`. With four hex digits
  // after it, `unescape` will decode it whatever came before: nothing can take
  // this "%" into another escape ("%" is neither a hex digit nor "u"). So the
  // character is decoded here and skips the `unescape` stage, which keeps
  // "\u0025" a percent sign.
  [[gnu::always_inline]] std::size_t PercentU(std::size_t j) {
    const int value = FourHex(text_, j);
    if (value < 0) {
      PutLiteral('%');
      PutLiteral('u');
      return j;
    }
    FlushPercent();
    PutOutput(static_cast<char16_t>(value));
    return j + 4;
  }

  // --- `unescape`: "%uXXXX" and "%XX"; any other "%" stays. ---

  void PutLiteral(char16_t unit) {
    if (percentCount_ == 0) {
      if (unit == '%') {
        percent_[percentCount_++] = unit;
      } else {
        PutOutput(unit);
      }
      return;
    }
    percent_[percentCount_++] = unit;
    ResolvePercent(false);
  }

  // percent_ holds "%" and up to five units after it, all still able to form
  // an escape.
  void ResolvePercent(bool atEnd) {
    if (percentCount_ >= 2 && percent_[1] == 'u') {
      int ready = 2;
      while (ready < percentCount_ && HexOfUnit(percent_[ready]) >= 0) ++ready;
      if (ready == 6) {
        percentCount_ = 0;
        PutOutput(static_cast<char16_t>(HexOfUnit(percent_[2]) << 12 | HexOfUnit(percent_[3]) << 8 |
                                        HexOfUnit(percent_[4]) << 4 | HexOfUnit(percent_[5])));
        return;
      }
      if (ready == percentCount_ && !atEnd) return;  // all hex so far: wait
    } else if (percentCount_ >= 2 && HexOfUnit(percent_[1]) >= 0) {
      if (percentCount_ == 3 && HexOfUnit(percent_[2]) >= 0) {
        percentCount_ = 0;
        PutOutput(static_cast<char16_t>(HexOfUnit(percent_[1]) << 4 | HexOfUnit(percent_[2])));
        return;
      }
      if (percentCount_ == 2 && !atEnd) return;
    } else if (percentCount_ == 1 && !atEnd) {
      return;
    }
    // Not an escape: the "%" stays and what followed it is read again.
    char16_t again[5];
    const int rest = percentCount_ - 1;
    for (int k = 0; k < rest; ++k) again[k] = percent_[k + 1];
    percentCount_ = 0;
    PutOutput('%');
    for (int k = 0; k < rest; ++k) PutLiteral(again[k]);
  }

  // What is held can no longer become an escape: it goes out as it stands.
  void FlushPercent() {
    for (int k = 0; k < percentCount_; ++k) PutOutput(percent_[k]);
    percentCount_ = 0;
  }

  void FinishUnescape() {
    while (percentCount_ > 0) ResolvePercent(true);
  }

  // --- Code page 936 output; "’" back to "'" and "{$}" to CR LF. ---

  [[gnu::always_inline]] void PutOutput(char16_t unit) {
    Reserve(4);
    if (held_ == 0 && unit != '{' && unit != kRightQuote && !IsHighSurrogate(unit)) {
      Encode(unit);
      return;
    }
    PutOutputSlow(unit);
  }

  [[gnu::noinline]] void PutOutputSlow(char16_t unit) {
    if (IsHighSurrogate(held_)) {
      held_ = 0;
      // A pair is one character beyond 936; a lone high surrogate is one too.
      *at_++ = '?';
      if (IsLowSurrogate(unit)) return;
    } else if (held_ == u'{') {
      held_ = 0;
      if (unit == '$') {
        held_ = u'$';  // "{$" so far
        return;
      }
      *at_++ = '{';
    } else if (held_ == u'$') {
      held_ = 0;
      if (unit == '}') {
        *at_++ = '\r';
        *at_++ = '\n';
        return;
      }
      *at_++ = '{';
      *at_++ = '$';
    }
    if (unit == '{' || IsHighSurrogate(unit)) {
      held_ = unit;
    } else if (unit == kRightQuote) {
      *at_++ = '\'';
    } else {
      Encode(unit);
    }
  }

  void FinishOutput() {
    Reserve(4);
    if (IsHighSurrogate(held_)) *at_++ = '?';
    if (held_ == u'{') *at_++ = '{';
    if (held_ == u'$') {
      *at_++ = '{';
      *at_++ = '$';
    }
    held_ = 0;
  }

  void Encode(char16_t unit) {
    const uint16_t bytes = gbk_.Encode(unit);
    if (bytes < 0x100) {
      *at_++ = static_cast<char>(bytes);
    } else {
      at_[0] = static_cast<char>(bytes >> 8);
      at_[1] = static_cast<char>(bytes & 0xFF);
      at_ += 2;
    }
  }

  // Room for `n` more bytes.
  void Reserve(std::size_t n) {
    if (static_cast<std::size_t>(end_ - at_) >= n) return;
    Grow(n);
  }

  [[gnu::noinline]] void Grow(std::size_t n) {
    const std::size_t used = static_cast<std::size_t>(at_ - out_.data());
    out_.resize(out_.size() * 2 + n + kSlack);
    at_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }

  const std::string_view text_;
  const GbkTable& gbk_;
  Text out_;
  char* at_;
  char* end_;
  char16_t held_ = 0;  // 0, '{', '$' (for "{$") or a high surrogate
  char16_t percent_[6] = {};
  int percentCount_ = 0;
};

}  // namespace

Text UnescapeText(std::string_view text) {
  if (text.empty()) return {};
  return Decoder(text, GbkTable::Get()).Run();
}

}  // namespace pellora
