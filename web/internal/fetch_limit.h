// The time-out arithmetic of HttpFetch, kept apart so it can be checked on
// its own.
#pragma once

#include <cstdint>
#include <optional>

namespace pellora::internal {

inline constexpr std::int64_t kDefaultFetchLimitMs = 60000;

// The limit in milliseconds: seconds × 1000 when given (exact for every int,
// no overflow), 60000 when left out. A negative time-out counts as 0, so the
// fetch times out at once instead of waiting without bound.
[[nodiscard]] constexpr std::int64_t FetchLimitMs(std::optional<int> seconds) {
  if (!seconds) return kDefaultFetchLimitMs;
  return *seconds < 0 ? 0 : static_cast<std::int64_t>(*seconds) * 1000;
}

// True once the elapsed whole milliseconds have reached the limit: a worker
// that ends exactly at the limit still counts as timed out.
[[nodiscard]] constexpr bool LimitReached(std::int64_t elapsedMs, std::int64_t limitMs) {
  return elapsedMs >= limitMs;
}

}  // namespace pellora::internal
