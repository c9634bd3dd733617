#include "web/url.h"

#include "values/text_ops.h"

namespace pellora {
namespace {

// Length of a leading "https://" or "http://" in any letter case; 0 for none.
int SchemeLength(std::string_view url) {
  if (CompareText(TextLeft(url, 8), "https://", false) == 0) return 8;
  if (CompareText(TextLeft(url, 7), "http://", false) == 0) return 7;
  return 0;
}

}  // namespace

Text UrlHost(std::string_view url) {
  Text rest = ReplaceTextAt(url, 1, SchemeLength(url));
  rest = ReplaceSubtext(rest, "https://");
  rest = ReplaceSubtext(rest, "http://");
  if (const int slash = FindText(rest, "/"); slash != -1) rest = TextLeft(rest, slash - 1);
  if (const int colon = FindText(rest, ":"); colon != -1) rest = TextLeft(rest, colon - 1);
  return ToLower(rest);
}

Text UrlPath(std::string_view url) {
  const Text host = UrlHost(url);
  // Searching from the first byte would find a host such as "t" or "http"
  // inside the scheme itself.
  const int afterScheme = SchemeLength(url) + 1;
  int hostAt = host.empty() ? afterScheme : FindText(url, host, afterScheme, true);
  if (hostAt == -1) hostAt = afterScheme;
  const int slash = FindText(url, "/", hostAt);
  if (slash == -1) return "/";
  return TextRight(url, TextLength(url) - slash + 1);
}

int UrlPort(std::string_view url) {
  Text authority;
  if (CompareText(TextLeft(url, 7), "http://", false) == 0) {
    const int slash = FindText(url, "/", 8);
    authority = slash == -1 ? ReplaceTextAt(url, 1, 7) : TextMid(url, 8, slash - 8);
  } else {
    const int slash = FindText(url, "/");
    authority = slash == -1 ? Text(url) : TextLeft(url, slash - 1);
  }
  const int colon = FindText(authority, ":");
  const Text port = colon == -1 ? Text("80") : TextRight(authority, TextLength(authority) - colon);
  return TruncateToWhole(ToNumber(port));
}

}  // namespace pellora
