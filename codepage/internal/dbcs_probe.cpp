#include "codepage/internal/dbcs_probe.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include "codepage/internal/icu_converter.h"

namespace pellora::internal {
namespace {

constexpr char16_t kQuestion = u'?';

ConverterPtr OpenStrict(const char* name) {
  ConverterPtr converter = OpenConverter(name);
  if (!converter) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

enum class Probe { kUnit, kTruncated, kInvalidOne, kInvalidAll };

// Converts `length` bytes as a complete text and classifies the outcome.
Probe DecodeBytes(UConverter* converter, const char* bytes, int length, char16_t& unit) {
  ucnv_resetToUnicode(converter);
  UChar out[4];
  UChar* target = out;
  const char* source = bytes;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_toUnicode(converter, &target, out + 4, &source, bytes + length, nullptr, true, &status);
  if (U_SUCCESS(status)) {
    if (target - out == 1) {
      unit = out[0];
      return Probe::kUnit;
    }
    return Probe::kInvalidAll;  // several units: not a single character
  }
  if (status == U_TRUNCATED_CHAR_FOUND) return Probe::kTruncated;
  char invalid[8];
  int8_t invalidLength = sizeof invalid;
  UErrorCode ignored = U_ZERO_ERROR;
  ucnv_getInvalidChars(converter, invalid, &invalidLength, &ignored);
  return invalidLength < length ? Probe::kInvalidOne : Probe::kInvalidAll;
}

}  // namespace

DbcsDecodeTable ProbeDecodeTable(const char* converterName) {
  DbcsDecodeTable table;
  table.pair.assign(0x10000, DbcsDecodeTable::kNoPair);
  for (int b = 0; b < 0x100; ++b) table.single[b] = b < 0x80 ? char16_t(b) : kQuestion;
  ConverterPtr converter = OpenStrict(converterName);
  if (!converter) return table;

  for (int b = 0; b < 0x100; ++b) {
    const char byte = static_cast<char>(b);
    char16_t unit = 0;
    switch (DecodeBytes(converter.get(), &byte, 1, unit)) {
      case Probe::kUnit:
        table.single[b] = unit == DbcsDecodeTable::kLeadByte ? kQuestion : unit;
        break;
      case Probe::kTruncated:
        table.single[b] = DbcsDecodeTable::kLeadByte;
        break;
      default:
        table.single[b] = kQuestion;
        break;
    }
  }
  for (int lead = 0; lead < 0x100; ++lead) {
    if (table.single[lead] != DbcsDecodeTable::kLeadByte) continue;
    for (int trail = 0; trail < 0x100; ++trail) {
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = 0;
      char16_t& entry = table.pair[lead << 8 | trail];
      switch (DecodeBytes(converter.get(), bytes, 2, unit)) {
        case Probe::kUnit:
          entry = unit == DbcsDecodeTable::kNoPair ? kQuestion : unit;
          break;
        case Probe::kInvalidAll:
          entry = kQuestion;
          break;
        default:
          entry = DbcsDecodeTable::kNoPair;
          break;
      }
    }
  }
  return table;
}

std::vector<uint16_t> ProbeEncodeTable(const char* converterName) {
  std::vector<uint16_t> table(0x10000, static_cast<uint16_t>(kQuestion));
  for (int u = 0; u < 0x80; ++u) table[u] = static_cast<uint16_t>(u);
  ConverterPtr converter = OpenStrict(converterName);
  if (!converter) return table;
  for (int u = 0; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const UChar unit = static_cast<UChar>(u);
    char out[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter.get(), out, sizeof out, &unit, 1, &status);
    if (U_FAILURE(status) || length < 1 || length > 2) continue;
    const auto first = static_cast<unsigned char>(out[0]);
    table[u] = length == 1 ? first
                           : static_cast<uint16_t>(first << 8 | static_cast<unsigned char>(out[1]));
  }
  return table;
}

}  // namespace pellora::internal
