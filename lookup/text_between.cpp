#include "lookup/text_between.h"

#include "values/text_ops.h"

namespace pellora {
namespace {

// "#引号" in code page 936: it stands for a double quote inside a marker, so
// callers can write markers around quoted values without escaping.
constexpr std::string_view kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

}  // namespace

Text TextBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                 int start, bool caseSensitive) {
  const Text startText = ReplaceSubtext(startMarker, kQuotePlaceholder, "\"");
  const Text endText = ReplaceSubtext(endMarker, kQuotePlaceholder, "\"");
  const bool ignoreCase = !caseSensitive;

  const int p = FindText(source, startText, start, ignoreCase);
  if (p == -1) return {};
  // Everything after the start marker; the start position is applied again
  // to this remainder, counted from its own first byte.
  const Text rest = TextRight(source, TextLength(source) - p - TextLength(startText) + 1);
  const int q = FindText(rest, endText, start, ignoreCase);
  if (q == -1) return {};
  return TextLeft(rest, q - 1);
}

Text TextBefore(std::string_view source, std::string_view marker, int start, bool ignoreCase) {
  const int p = FindText(source, marker, start <= 0 ? 1 : start, ignoreCase);
  if (p == -1) return {};
  return TextLeft(source, p - 1);
}

}  // namespace pellora
