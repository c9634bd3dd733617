// The texts a request is made of and the cookie text gathered from a reply:
// pure functions over the exchange block's texts, no network.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The user agent used when the caller's header text names none.
inline constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR "
    "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// The agent: when "User-Agent:" occurs in the header text (any case), the
// text after its first occurrence up to the next "\r\n", blanks trimmed
// (empty when no "\r\n" follows); otherwise kDefaultAgent.
[[nodiscard]] Text RequestAgent(std::string_view headerText);

// The text with blanks and control bytes (0x00-0x20, 0x7F) percent-encoded
// and every other byte as it stands: a URL so encoded can neither end a
// request line nor start a header line of its own.
[[nodiscard]] Text EncodeControlBytes(std::string_view text);

// The header text as sent. Each test below looks for the word anywhere in
// the text, ignoring case, and each addition goes at the end:
// - "Accept: image/gif, ... */*\r\n" when "Accept" occurs nowhere;
// - when "RefererNo" occurs, its first occurrence written exactly so is
//   removed and no referrer added; else "Referer: " + url + "\r\n" when
//   "Referer" occurs nowhere, the url passed through EncodeControlBytes;
// - "Accept-Language: zh-cn\r\n" when "Accept-Language" occurs nowhere;
// - for "POST" with at least one byte of data: "Content-Type:
//   application/x-www-form-urlencoded\r\n" and "Content-Length: " + the
//   data's length + "\r\n", each when its name occurs nowhere;
// - for "GET" and "POST" with a non-empty cookie text: "Cookie: " + cookies
//   + "\r\n\r\n", always last.
[[nodiscard]] Text BuildHeaderText(std::string_view headerText,
                                   std::string_view url, std::string_view verb,
                                   std::string_view postData,
                                   std::string_view cookies);

// The cookie pairs of a reply's Set-Cookie lines, in order, each followed by
// ";". A line counts when it contains "Set-Cookie: " anywhere (any case); its
// first 12 bytes are dropped and the pair is what stands before the first
// ";" (the whole rest when it has none). Reading stops at a 0x1A byte, which
// ends the header text. Empty when no line counts.
[[nodiscard]] Text GatherSetCookies(std::string_view replyHeaders);

}  // namespace pellora
