// Fetching a URL over HTTP or HTTPS on a worker thread of its own, with a
// time-out, default headers, cookies, redirects and optional decoding.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "values/value_types.h"

namespace pellora {

// The text returned in place of a body when the time-out passes (code page
// 936 bytes).
[[nodiscard]] const Text& FetchTimeoutText();

// Fetches `url` and returns the reply body (converted when `decoding` is 1,
// UTF-8, or 2, Big5 to simplified GBK), the time-out text, or the empty byte
// string on failure. A URL without an http:// or https:// scheme (any letter
// case) gets "http://" in front. `method` 1 sends POST, anything else GET.
// A left-out time-out is 60 seconds; a given 0 times out at once.
// `replyHeaders` and `replyCookies` are written only when given and the
// worker finished. `allowRedirect` left out means true.
[[nodiscard]] ByteString HttpFetch(
    std::string_view url, int method = 0, std::string_view proxy = {},
    std::string_view headers = {}, std::string_view postData = {},
    std::string_view cookies = {}, std::optional<int> 超时返回 = std::nullopt,
    Text* replyHeaders = nullptr, int decoding = 0,
    Text* replyCookies = nullptr,
    std::optional<bool> allowRedirect = std::nullopt);

// Registers, for the calling thread only, a function that dispatches the
// thread's pending window events. While HttpFetch waits on such a thread it
// wakes regularly and runs the pump, so the thread's window stays alive.
// An empty function removes the registration.
void SetThreadEventPump(std::function<void()> pump);

}  // namespace pellora
