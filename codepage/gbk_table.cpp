#include "codepage/gbk_table.h"

#include <algorithm>

#include "codepage/internal/dbcs_probe.h"
#include "codepage/internal/icu_converter.h"

namespace pellora {

static_assert(internal::DbcsDecodeTable::kLeadByte == 0xFFFF &&
              internal::DbcsDecodeTable::kNoPair == 0xFFFF);

GbkTable::GbkTable() {
  internal::DbcsDecodeTable decode = internal::ProbeDecodeTable(internal::kGbkConverterName);
  std::copy(decode.single.begin(), decode.single.end(), single_);
  pair_ = std::move(decode.pair);
  encode_ = internal::ProbeEncodeTable(internal::kGbkConverterName);
}

const GbkTable& GbkTable::Get() {
  static const GbkTable table;
  return table;
}

}  // namespace pellora
