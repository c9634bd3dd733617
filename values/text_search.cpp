// FindText, ReplaceSubtext and ReplaceSubbytes.
#include <climits>
#include <cstdint>

#include "values/internal/finder.h"
#include "values/text_ops.h"

namespace pellora {

namespace {

using internal::Finder;

// Offset where scanning begins: start - 1, or 0 for a start of 1 or less.
std::size_t StartOffset(int start) { return start <= 1 ? 0 : static_cast<std::size_t>(start) - 1; }

std::string ReplaceAll(std::string_view text, std::string_view sub, std::string_view replacement,
                       int start, std::optional<int> count, bool ignoreCase, bool characterAware) {
  const std::size_t s = StartOffset(start);
  if (text.empty() || sub.empty() || s >= text.size() || (count && *count <= 0))
    return std::string(text);

  std::string out;
  out.reserve(text.size());
  out.append(text.substr(0, s));
  Finder finder(sub, ignoreCase, characterAware);
  std::size_t pos = s;
  int64_t done = 0;
  while (!count || done < *count) {
    // After a match the scan restarts at its end, taken as a character start.
    const std::size_t hit = finder.Find(text, pos);
    if (hit == Finder::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(replacement);
    pos = hit + sub.size();
    ++done;
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

int FindText(std::string_view text, std::string_view sub, int start, bool ignoreCase) {
  const std::size_t s = StartOffset(start);
  if (s >= text.size()) return -1;
  if (sub.empty()) return 1;
  // Only matches whose 1-based position fits an int can be reported: the
  // search window ends where a match would start past INT_MAX.
  constexpr std::size_t kLastStart = static_cast<std::size_t>(INT_MAX) - 1;
  std::string_view window = text;
  if (text.size() >= sub.size() && text.size() - sub.size() > kLastStart)
    window = window.substr(0, kLastStart + sub.size());
  Finder finder(sub, ignoreCase, /*characterAware=*/true);
  const std::size_t hit = finder.Find(window, s);
  return hit == Finder::npos ? -1 : static_cast<int>(hit + 1);
}

Text ReplaceSubtext(std::string_view text, std::string_view sub, std::string_view replacement,
                    int start, std::optional<int> count, bool caseSensitive) {
  return ReplaceAll(text, sub, replacement, start, count, !caseSensitive,
                    /*characterAware=*/true);
}

ByteString ReplaceSubbytes(std::string_view bytes, std::string_view run,
                           std::string_view replacement, int start, std::optional<int> count) {
  return ReplaceAll(bytes, run, replacement, start, count,
                    /*ignoreCase=*/false, /*characterAware=*/false);
}

}  // namespace pellora
