#include "codepage/codepage.h"

#include <unicode/ucnv.h>

#include "codepage/gbk_table.h"
#include "codepage/internal/big5_table.h"
#include "codepage/internal/icu_converter.h"

namespace pellora {
namespace {

using internal::ConverterPtr;

struct Utf8ToGbkConverters {
  ConverterPtr utf8;
  ConverterPtr gbk;
};

// Opened once; never used for converting, only copied from.
const Utf8ToGbkConverters& Masters() {
  static const Utf8ToGbkConverters masters = [] {
    Utf8ToGbkConverters m{internal::OpenConverter("UTF-8"),
                          internal::OpenConverter(internal::kGbkConverterName)};
    if (m.gbk && !internal::SubstituteQuestionMark(m.gbk.get())) m.gbk.reset();
    return m;
  }();
  return masters;
}

// This thread's own copies: a converter keeps state between calls, so no two
// threads may share one.
Utf8ToGbkConverters& ThreadConverters() {
  thread_local Utf8ToGbkConverters converters{internal::CloneConverter(Masters().utf8.get()),
                                              internal::CloneConverter(Masters().gbk.get())};
  return converters;
}

void AppendUtf8(char16_t unit, std::string& out) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | unit >> 6),
                           static_cast<char>(0x80 | (unit & 0x3F))};
    out.append(bytes, 2);
  } else {
    // The 936 table yields no surrogates, so every unit is a whole character.
    const char bytes[3] = {static_cast<char>(0xE0 | unit >> 12),
                           static_cast<char>(0x80 | ((unit >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (unit & 0x3F))};
    out.append(bytes, 3);
  }
}

}  // namespace

Text Utf8ToAnsi(std::string_view utf8) {
  if (utf8.empty()) return {};
  Utf8ToGbkConverters& converters = ThreadConverters();
  if (!converters.utf8 || !converters.gbk) return {};

  // Every UTF-8 sequence of k bytes gives at most k bytes of 936 (a
  // two-or-three-byte character two bytes, anything invalid or unmappable one
  // "?"), so the input size is enough; the loop below still grows the buffer
  // rather than lose output should that ever not hold.
  Text out(utf8.size() + 1, '\0');
  char* target = out.data();
  const char* source = utf8.data();
  const char* const sourceEnd = source + utf8.size();
  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  bool reset = true;
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(converters.gbk.get(), converters.utf8.get(), &target, out.data() + out.size(),
                   &source, sourceEnd, pivot, &pivotSource, &pivotTarget, pivot + 1024, reset, true,
                   &status);
    reset = false;
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      const std::size_t written = target - out.data();
      out.resize(out.size() * 2);
      target = out.data() + written;
      continue;
    }
    if (U_FAILURE(status)) {
      ucnv_resetToUnicode(converters.utf8.get());
      ucnv_resetFromUnicode(converters.gbk.get());
      return {};
    }
    break;
  }
  out.resize(target - out.data());
  return out;
}

Text Big5ToGbk(std::string_view big5) {
  const internal::Big5Table& table = internal::GetBig5Table();
  const auto* in = reinterpret_cast<const unsigned char*>(big5.data());
  const std::size_t size = big5.size();
  // One byte or one pair never gives more than two bytes.
  Text out(size * 2, '\0');
  char* o = out.data();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char b = in[i];
    uint16_t bytes = table.single[b];
    if (bytes == internal::Big5Table::kLeadByte) {
      bytes = '?';
      ++i;
      if (i < size) {
        const uint16_t pair = table.pair[b << 8 | in[i]];
        if (pair != internal::Big5Table::kNoPair) {
          bytes = pair;
          ++i;
        }
      }
    } else {
      ++i;
    }
    if (bytes < 0x100) {
      *o++ = static_cast<char>(bytes);
    } else {
      *o++ = static_cast<char>(bytes >> 8);
      *o++ = static_cast<char>(bytes & 0xFF);
    }
  }
  out.resize(o - out.data());
  return out;
}

std::string AnsiToUtf8(std::string_view gbk) {
  const GbkTable& table = GbkTable::Get();
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  std::size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    char16_t unit = 0;
    i += table.Decode(gbk, i, unit);
    AppendUtf8(unit, out);
  }
  return out;
}

}  // namespace pellora
