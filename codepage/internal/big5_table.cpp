#include "codepage/internal/big5_table.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

#include "codepage/gbk_table.h"
#include "codepage/internal/dbcs_probe.h"
#include "codepage/internal/icu_converter.h"

namespace pellora::internal {
namespace {

constexpr uint16_t kQuestion = '?';

Big5Table BuildTable() {
  const DbcsDecodeTable decode = ProbeDecodeTable(kBig5ConverterName);
  const GbkTable& gbk = GbkTable::Get();

  // Every character Big5 can produce, simplified in one sweep.
  std::vector<char16_t> characters;
  std::vector<uint32_t> where;  // index into `single` (< 0x100) or 0x100 + pair index
  for (int b = 0; b < 0x100; ++b) {
    if (decode.single[b] == DbcsDecodeTable::kLeadByte) continue;
    characters.push_back(decode.single[b]);
    where.push_back(b);
  }
  for (uint32_t i = 0; i < decode.pair.size(); ++i) {
    if (decode.pair[i] == DbcsDecodeTable::kNoPair) continue;
    characters.push_back(decode.pair[i]);
    where.push_back(0x100 + i);
  }
  const std::vector<char16_t> simplified = SimplifiedForms(characters);

  Big5Table table;
  table.pair.assign(0x10000, Big5Table::kNoPair);
  for (int b = 0; b < 0x100; ++b) {
    table.single[b] =
        decode.single[b] == DbcsDecodeTable::kLeadByte ? Big5Table::kLeadByte : kQuestion;
  }
  for (std::size_t k = 0; k < characters.size(); ++k) {
    // Keep the traditional character when its simplified form has no 936 form.
    uint16_t bytes = gbk.Encode(simplified[k]);
    if (bytes == kQuestion) bytes = gbk.Encode(characters[k]);
    if (where[k] < 0x100) {
      table.single[where[k]] = bytes;
    } else {
      table.pair[where[k] - 0x100] = bytes;
    }
  }
  return table;
}

}  // namespace

std::vector<char16_t> SimplifiedForms(const std::vector<char16_t>& characters) {
  std::vector<char16_t> result(characters);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
      icu::UnicodeString("Traditional-Simplified", -1, US_INV), UTRANS_FORWARD, status));
  if (U_FAILURE(status) || !transliterator) return result;
  for (char16_t& c : result) {
    if (c < 0x80) continue;  // the table maps Han characters only
    icu::UnicodeString text(c);
    transliterator->transliterate(text);
    if (text.length() == 1) c = text.charAt(0);
  }
  return result;
}

const Big5Table& GetBig5Table() {
  static const Big5Table table = BuildTable();
  return table;
}

}  // namespace pellora::internal
