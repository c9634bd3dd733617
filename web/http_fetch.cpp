#include "web/http_fetch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "codepage/codepage.h"
#include "values/memory_stream.h"
#include "values/text_ops.h"
#include "web/exchange_block.h"
#include "web/internal/curl_support.h"
#include "web/internal/fetch_limit.h"
#include "web/internal/scheme.h"
#include "web/request_worker.h"

namespace pellora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPumpInterval = std::chrono::milliseconds(10);

thread_local std::function<void()> tEventPump;

// What a fetch and its worker share. The worker thread owns a reference, so
// the state outlives a fetch that gave up. The stream is closed by whichever
// side finishes last: the fetch when the worker has finished (or never
// started), otherwise the worker once it sees `abandoned`.
struct FetchState {
  explicit FetchState(StreamHandle s) : stream(s) {}

  const StreamHandle stream;
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
};

void RunWorker(const std::shared_ptr<FetchState>& state) {
  RequestWorker(state->stream, &state->stop);
  bool closeHere = false;
  {
    std::lock_guard lock(state->mutex);
    state->finished = true;
    closeHere = state->abandoned;
  }
  if (closeHere) CloseStream(state->stream);
  state->done.notify_all();
}

// Waits until the worker finishes or the limit passes; true on time-out.
// The elapsed time is checked after every wake-up, so a worker that ends
// right at the limit still counts as timed out.
bool WaitForWorker(FetchState& state, Clock::time_point start, std::int64_t limitMs) {
  const Clock::time_point deadline = start + std::chrono::milliseconds(limitMs);
  for (;;) {
    const std::function<void()> pump = tEventPump;
    bool finished = false;
    {
      std::unique_lock lock(state.mutex);
      Clock::time_point until = deadline;
      if (pump) until = std::min(deadline, Clock::now() + kPumpInterval);
      state.done.wait_until(lock, until, [&state] { return state.finished; });
      finished = state.finished;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    const bool timedOut = internal::LimitReached(elapsed, limitMs);
    if (pump) pump();
    if (timedOut) return true;
    if (finished) return false;
  }
}

ByteString DecodeBody(ByteString body, int decoding) {
  switch (decoding) {
    case 1:
      return ToBytes(Utf8ToAnsi(ToText(body)));
    case 2:
      return ToBytes(Big5ToGbk(ToText(body)));
    default:
      return body;
  }
}

}  // namespace

const Text& FetchTimeoutText() {
  // Never destroyed: a fetch may still be returning while the process exits.
  static const Text* const text = new Text(
      "\xb3\xac\xca\xb1\xb7\xb5\xbb\xd8\xa3\xac\xd6\xb8\xb6\xa8\xcd\xf8\xd5\xbe"
      "\xb2\xbb\xc4\xdc\xb7\xc3\xce\xca\xa3\xac\xbb\xf2\xd5\xdf\xc4\xe3\xb5\xc4"
      "\xcd\xf8\xc2\xe7\xb3\xf6\xcf\xd6\xce\xca\xcc\xe2\xa3\xac\xc4\xe3\xbf\xc9"
      "\xd2\xd4\xb0\xd1\xb2\xce\xca\xfd\xd6\xd0\xb5\xc4\xa3\xa2\xb3\xac\xca\xb1"
      "\xb7\xb5\xbb\xd8\xa3\xa2\xb5\xc4\xd6\xb5\xc9\xe8\xd6\xc3\xb3\xa4\xd2\xbb"
      "\xd0\xa9\xa1\xa3");
  return *text;
}

void SetThreadEventPump(std::function<void()> pump) { tEventPump = std::move(pump); }

std::uint32_t UptimeMs() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

ByteString HttpFetch(std::string_view url, int method, std::string_view proxy,
                     std::string_view headers, std::string_view postData,
                     std::string_view cookies, std::optional<int> 超时返回,
                     Text* replyHeaders, int decoding, Text* replyCookies,
                     std::optional<bool> allowRedirect) {
  if (TrimBoth(url).empty()) return {};
  const bool redirects = allowRedirect.value_or(true);
  const bool hasScheme = internal::StartsWithNoCase(url, "http://") ||
                         internal::StartsWithNoCase(url, "https://");
  const Text fullUrl = hasScheme ? Text(url) : ConcatText({"http://", url});

  const StreamHandle stream = OpenMemoryStream();
  if (!StreamWriteData(stream, MakeExchangeBlock(fullUrl, method, proxy, headers, postData,
                                                 cookies, redirects))) {
    CloseStream(stream);
    return {};
  }

  // libcurl's global state must exist before the first worker thread runs.
  internal::EnsureCurlGlobalInit();
  auto state = std::make_shared<FetchState>(stream);
  std::thread worker;
  try {
    worker = std::thread(RunWorker, state);
  } catch (const std::system_error&) {
    // No worker: the wait runs into the limit and the time-out text follows.
  }
  const Clock::time_point start = Clock::now();
  const std::int64_t limitMs = internal::FetchLimitMs(超时返回);

  if (WaitForWorker(*state, start, limitMs)) {
    bool finished = false;
    bool leaveToWorker = false;
    {
      std::lock_guard lock(state->mutex);
      state->stop.store(true);
      finished = state->finished;
      leaveToWorker = !finished && worker.joinable();
      state->abandoned = leaveToWorker;
    }
    if (!leaveToWorker) CloseStream(stream);
    if (worker.joinable()) {
      if (finished) {
        worker.join();
      } else {
        worker.detach();
      }
    }
    return ToBytes(FetchTimeoutText());
  }

  worker.join();
  ByteStringArray reply(kExchangeSlotCount);
  StreamSeekToStart(stream);
  // The stream is closed right after, so the body's buffer is taken over
  // rather than copied out.
  const bool read = StreamTakeData(stream, reply);
  CloseStream(stream);
  if (!read) return {};
  if (replyHeaders != nullptr) *replyHeaders = ToText(reply[kSlotCookiesOrReplyHeaders]);
  if (replyCookies != nullptr) *replyCookies = ToText(reply[kSlotVerbOrReplyCookies]);
  return DecodeBody(std::move(reply[kSlotUrlOrBody]), decoding);
}

}  // namespace pellora
