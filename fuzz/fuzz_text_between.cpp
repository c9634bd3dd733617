// Fuzzes TextBetween and TextBefore with every optional argument against a
// reference that follows their rules step by step over the naive FindText.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "lookup/text_between.h"
#include "reference_ops.h"

namespace {

// "#引号" in code page 936: stands for one double quote inside a marker.
constexpr std::string_view kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

std::string RewriteMarker(std::string marker) {
  if (ref::FindText(marker, kQuotePlaceholder, 1, false) > 0) {
    marker = ref::ReplaceSubtext(marker, kQuotePlaceholder, "\"", 1, std::nullopt, true);
  }
  return marker;
}

std::string RefBetween(std::string_view source, std::string start, std::string end, int from,
                       bool caseSensitive) {
  start = RewriteMarker(std::move(start));
  end = RewriteMarker(std::move(end));
  const int p = ref::FindText(source, start, from, !caseSensitive);
  if (p == -1) return {};
  const int64_t restLength =
      static_cast<int64_t>(source.size()) - p - static_cast<int64_t>(start.size()) + 1;
  const std::string rest = ref::Right(source, static_cast<int>(restLength));
  const int q = ref::FindText(rest, end, from, !caseSensitive);
  if (q == -1) return {};
  return ref::Left(rest, q - 1);
}

std::string RefBefore(std::string_view source, std::string_view marker, int from,
                      bool ignoreCase) {
  const int p = ref::FindText(source, marker, from <= 0 ? 1 : from, ignoreCase);
  if (p == -1) return {};
  return ref::Left(source, p - 1);
}

// Markers are short and often the placeholder itself or a quote.
std::string PickMarker(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: return std::string(kQuotePlaceholder);
    case 1: return "name=" + std::string(kQuotePlaceholder);
    case 2: return "\"";
    default: return in.ConsumeRandomLengthString(12);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool givePosition = in.ConsumeBool();
  const bool giveFlag = in.ConsumeBool();
  const bool flag = in.ConsumeBool();
  const int from = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange<int>(-2, 40);
  const std::string start = PickMarker(in);
  const std::string end = PickMarker(in);
  const std::string source = in.ConsumeRemainingBytesAsString();

  using pellora::TextBefore;
  using pellora::TextBetween;
  std::string got;
  if (giveFlag) {
    got = TextBetween(source, start, end, from, flag);
  } else if (givePosition) {
    got = TextBetween(source, start, end, from);
  } else {
    got = TextBetween(source, start, end);
  }
  const int refFrom = (giveFlag || givePosition) ? from : 0;
  const bool refCase = giveFlag ? flag : false;
  FUZZ_CHECK(got == RefBetween(source, start, end, refFrom, refCase),
             "TextBetween differs from the reference");

  std::string before;
  if (giveFlag) {
    before = TextBefore(source, start, from, flag);
  } else if (givePosition) {
    before = TextBefore(source, start, from);
  } else {
    before = TextBefore(source, start);
  }
  FUZZ_CHECK(before == RefBefore(source, start, refFrom, giveFlag ? flag : false),
             "TextBefore differs from the reference");
  return 0;
}
