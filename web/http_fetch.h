// Fetching a URL over HTTP or HTTPS on a worker thread of its own, with a
// time-out, default headers, cookies, redirects and optional decoding.
#pragma once

#include <cstdint>
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
// string on failure. A URL that is empty or only blanks returns the empty
// byte string at once. A URL without an http:// or https:// scheme (any
// letter case) gets "http://" in front. `method` 1 sends POST, anything else
// GET. The proxy serves http:// requests only.
// Time-out: left out, 60 seconds; given, that many seconds, a 0 or negative
// value timing out at once. Once the limit is reached the time-out text is
// returned unconverted, even when the worker ended at that very moment, and
// the worker is told to stop; it releases what it uses by itself.
// `replyHeaders` and `replyCookies` are written only when given and the
// worker finished: the raw headers of the final reply and the cookie pairs
// of its Set-Cookie lines ("a=1;b=2;"); both empty when the request could
// not be made. `allowRedirect` left out means true.
// The cookie text, when not blank, is sent as a Cookie line and keeps the
// process-wide cookie store out of this request.
[[nodiscard]] ByteString HttpFetch(
    std::string_view url, int method = 0, std::string_view proxy = {},
    std::string_view headers = {}, std::string_view postData = {},
    std::string_view cookies = {}, std::optional<int> 超时返回 = std::nullopt,
    Text* replyHeaders = nullptr, int decoding = 0,
    Text* replyCookies = nullptr,
    std::optional<bool> allowRedirect = std::nullopt);

// Registers, for the calling thread only, a function that dispatches the
// thread's pending window events. While HttpFetch waits on such a thread it
// wakes every 10 ms and runs the pump after every wake-up (also the last),
// so the thread's window stays alive; without a pump it blocks until the
// worker ends or the limit passes. An empty function removes the
// registration.
void SetThreadEventPump(std::function<void()> pump);

// Milliseconds of a monotonic clock, wrapping at 2^32.
[[nodiscard]] std::uint32_t UptimeMs();

}  // namespace pellora
