// The exchange block: seven byte strings that carry one request from
// HttpFetch to RequestWorker through a memory stream, and its reply back.
//
// slot  request (written by HttpFetch)     reply (written back by the worker)
//  1    the URL                            the reply body, every byte read
//  2    "POST" or "GET"                    the cookie pairs gathered from the
//                                          reply's Set-Cookie lines
//  3    the proxy                          unchanged
//  4    the caller's header text           unchanged
//  5    the POST data                      unchanged
//  6    the cookie text to send            the raw reply headers
//  7    "真" when redirects may be         unchanged
//       followed, "假" otherwise
//
// Texts are stored as their bytes; a reader takes them with ToText, which
// stops at the first zero byte.
#pragma once

#include <string_view>

#include "values/value_types.h"

namespace pellora {

inline constexpr int kExchangeSlotCount = 7;

enum ExchangeSlot : int {
  kSlotUrlOrBody = 1,
  kSlotVerbOrReplyCookies = 2,
  kSlotProxy = 3,
  kSlotHeaders = 4,
  kSlotPostData = 5,
  kSlotCookiesOrReplyHeaders = 6,
  kSlotAllowRedirect = 7,
};

// A request block: `method` 1 gives "POST", any other value "GET"; the other
// slots are copied as given (the URL is taken as it stands, no scheme added).
[[nodiscard]] ByteStringArray MakeExchangeBlock(
    std::string_view url, int method, std::string_view proxy,
    std::string_view headers, std::string_view postData,
    std::string_view cookies, bool allowRedirect);

}  // namespace pellora
