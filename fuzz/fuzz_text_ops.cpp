// Fuzzes the text and byte-string operations with their optional arguments.
// FindText, ReplaceSubtext, ReplaceSubbytes, TrimBoth, ToLower and the cutting
// operations are checked against the naive references in reference_ops.h; the
// rest are checked for the properties their contracts state.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "reference_ops.h"
#include "values/text_ops.h"
#include "values/value_types.h"

namespace {

using namespace pellora;

// Positions and counts: mostly near the text, sometimes at the 32-bit edges.
int PickPosition(FuzzedDataProvider& in, size_t textLength) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return INT32_MIN;
    case 1: return INT32_MAX;
    case 2: return in.ConsumeIntegral<int>();
    default: {
      const int limit = static_cast<int>(std::min<size_t>(textLength, 1 << 20)) + 3;
      return in.ConsumeIntegralInRange<int>(-3, limit);
    }
  }
}

std::optional<int> PickOptionalPosition(FuzzedDataProvider& in, size_t textLength) {
  if (in.ConsumeBool()) return std::nullopt;
  return PickPosition(in, textLength);
}

bool OnlyNumberCharacters(const std::string& s) {
  for (unsigned char c : s) {
    if (!std::strchr(" \t\n\v\f\r+-.0123456789eE", c) || c == 0) return false;
  }
  return true;
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int op = in.ConsumeIntegralInRange<int>(0, 13);
  const bool flag = in.ConsumeBool();
  std::string sub = in.ConsumeRandomLengthString(16);
  std::string replacement = in.ConsumeRandomLengthString(16);
  const std::optional<int> start = PickOptionalPosition(in, 64);
  const std::optional<int> count = PickOptionalPosition(in, 8);
  const int n = PickPosition(in, 64);
  std::string text = in.ConsumeRemainingBytesAsString();

  switch (op) {
    case 0: {  // FindText, start given or left out, both case modes
      const int got = start ? FindText(text, sub, *start, flag) : FindText(text, sub);
      const int want = ref::FindText(text, sub, start.value_or(1), start ? flag : false);
      FUZZ_CHECK(got == want, "FindText differs from the reference");
      break;
    }
    case 1: {  // ReplaceSubtext with every optional argument
      const int s = start.value_or(1);
      const Text got = ReplaceSubtext(text, sub, replacement, s, count, flag);
      const Text want = ref::ReplaceSubtext(text, sub, replacement, s, count, flag);
      FUZZ_CHECK(got == want, "ReplaceSubtext differs from the reference");
      if (!count && !start) {
        FUZZ_CHECK(ReplaceSubtext(text, sub) == ref::ReplaceSubtext(text, sub, "", 1, {}, true),
                   "ReplaceSubtext with defaults differs from the reference");
      }
      break;
    }
    case 2:
      FUZZ_CHECK(TrimBoth(text) == ref::TrimBoth(text), "TrimBoth differs from the reference");
      break;
    case 3:
      FUZZ_CHECK(ToLower(text) == ref::ToLower(text), "ToLower differs from the reference");
      break;
    case 4: {  // the byte cutters
      FUZZ_CHECK(TextLeft(text, n) == ref::Left(text, n), "TextLeft");
      FUZZ_CHECK(TextRight(text, n) == ref::Right(text, n), "TextRight");
      FUZZ_CHECK(BytesLeft(text, n) == ref::Left(text, n), "BytesLeft");
      const int s = start.value_or(1);
      FUZZ_CHECK(TextMid(text, s, n) == ref::Mid(text, s, n), "TextMid");
      FUZZ_CHECK(TextLength(text) == static_cast<int>(text.size()), "TextLength");
      FUZZ_CHECK(BytesLength(text) == static_cast<int>(text.size()), "BytesLength");
      break;
    }
    case 5: {
      const int s = start.value_or(1);
      const Text got = flag ? ReplaceTextAt(text, s, n, replacement) : ReplaceTextAt(text, s, n);
      const Text want = ref::ReplaceTextAt(text, s, n, flag ? replacement : std::string());
      FUZZ_CHECK(got == want, "ReplaceTextAt differs from the reference");
      break;
    }
    case 6: {  // ReplaceSubbytes with every optional argument
      const int s = start.value_or(1);
      const ByteString got = ReplaceSubbytes(text, sub, replacement, s, count);
      const ByteString want = ref::ReplaceSubbytes(text, sub, replacement, s, count);
      FUZZ_CHECK(got == want, "ReplaceSubbytes differs from the reference");
      break;
    }
    case 7: {  // CompareText: reflexive, antisymmetric, exact when case-sensitive
      FUZZ_CHECK(CompareText(text, text, flag) == 0, "CompareText(a, a) != 0");
      const int ab = CompareText(text, sub, flag);
      const int ba = CompareText(sub, text, flag);
      FUZZ_CHECK(Sign(ab) == -Sign(ba), "CompareText is not antisymmetric");
      if (flag && text.find('\0') == std::string::npos && sub.find('\0') == std::string::npos) {
        FUZZ_CHECK((ab == 0) == (text == sub), "case-sensitive CompareText is not exact");
      }
      if (!flag) {
        FUZZ_CHECK(CompareText(text, ToLower(text), false) == 0 ||
                       text.find('\0') != std::string::npos,
                   "CompareText without case differs on ASCII case alone");
      }
      break;
    }
    case 8: {  // ToText of each kind
      FUZZ_CHECK(ToText(std::string_view(text)) == text.substr(0, text.find('\0')),
                 "ToText(bytes) does not stop at the first zero byte");
      FUZZ_CHECK(ToText(n) == std::to_string(n), "ToText(int)");
      double real = 0;
      if (text.size() >= sizeof real) std::memcpy(&real, text.data(), sizeof real);
      const Text shown = ToText(real);
      if (std::isfinite(real)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.13g", real);
        FUZZ_CHECK(shown == buf, "ToText(double) is not %.13g");
      }
      FUZZ_CHECK(ToText(flag) == (flag ? "\xD5\xE6" : "\xBC\xD9"), "ToText(bool)");
      break;
    }
    case 9: {  // ToNumber: never crashes; agrees with atof on plain number text
      const double v = ToNumber(text);
      if (OnlyNumberCharacters(text)) {
        const double want = std::atof(text.c_str());
        const bool same = (v == want) || std::fabs(v - want) <= 1e-9 * std::fabs(want);
        FUZZ_CHECK(same, "ToNumber differs from atof on plain number text");
      }
      break;
    }
    case 10: {  // blanks, with a bounded size
      const int k = n % 70000;
      const Text blanks = BlankText(k);
      const ByteString zeros = BlankBytes(k);
      FUZZ_CHECK(blanks.size() == static_cast<size_t>(std::max(k, 0)) &&
                     blanks.find_first_not_of(' ') == std::string::npos,
                 "BlankText");
      FUZZ_CHECK(zeros.size() == static_cast<size_t>(std::max(k, 0)) &&
                     zeros.find_first_not_of('\0') == std::string::npos,
                 "BlankBytes");
      break;
    }
    case 11: {  // joining, ordering and equality
      FUZZ_CHECK(ConcatText({text, sub, replacement}) == text + sub + replacement, "ConcatText");
      FUZZ_CHECK(ConcatBytes({text, sub}) == text + sub, "ConcatBytes");
      FUZZ_CHECK(ToBytes(text) == text, "ToBytes");
      FUZZ_CHECK(TextOrder(text, sub) == ref::Order(text, sub), "TextOrder");
      FUZZ_CHECK(BytesEqual(text, sub) == (text == sub), "BytesEqual");
      break;
    }
    case 12: {  // TruncateToWhole on any bit pattern
      double real = 0;
      if (text.size() >= sizeof real) std::memcpy(&real, text.data(), sizeof real);
      FUZZ_CHECK(TruncateToWhole(real) == ref::Truncate(real), "TruncateToWhole");
      break;
    }
    case 13: {  // ResizeArray keeps the leading elements and pads with empty ones
      const int first = n % 40;
      const int second = (count.value_or(3)) % 40;
      ByteStringArray array(first);
      for (int k = 1; k <= ArrayCount(array); ++k) array[k] = std::to_string(k) + text;
      ResizeArray(array, second);
      FUZZ_CHECK(ArrayCount(array) == std::max(second, 0), "ResizeArray count");
      for (int k = 1; k <= ArrayCount(array); ++k) {
        const std::string want = k <= std::max(first, 0) ? std::to_string(k) + text : "";
        FUZZ_CHECK(array[k] == want, "ResizeArray element");
      }
      break;
    }
  }
  return 0;
}
