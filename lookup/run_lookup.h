// One account lookup: from the number typed in the window to the text that the
// window shows. Qt-free: the window hands in its controls and its result slot
// as the hooks below.
#pragma once

#include <functional>
#include <string_view>

#include "values/value_types.h"

namespace pellora {

// What a lookup needs from the window. Every hook may be called from the
// lookup's own thread; an empty hook reads as the empty text or does nothing.
struct LookupHooks {
  // Returns the current text of the number box (编辑框1) as code page 936 text.
  std::function<Text()> readNumber;
  // Replaces the whole text of the log box (编辑框2); returns once it is done.
  std::function<void(std::string_view)> setLog;
  // Hands the finished text over to the window (StoreResult).
  std::function<void(Text)> storeResult;
  // Host (and port) of the lookup service, e.g. "127.0.0.1:8086".
  Text host;
};

// "http://" + host + "/10086/" + number, the number exactly as given: no
// blanks removed, nothing validated or percent-encoded.
[[nodiscard]] Text LookupUrl(std::string_view host, std::string_view number);

// The two-line text stored when no name can be cut out of the reply.
[[nodiscard]] const Text& NotFoundText();

// Turns a raw reply body into the text to show: decodes its escapes, cuts the
// name, balance, points and spending by their markers (ASCII case ignored,
// first occurrence wins) and composes the six lines, calling `readNumber` for
// the number shown in the first line. Returns NotFoundText() when the name is
// empty. Never returns the empty text.
[[nodiscard]] Text LookupResultText(std::string_view reply,
                                    const std::function<Text()>& readNumber);

// Runs one whole lookup on the calling thread: empties the log box, fetches
// the URL for the typed number with every fetch setting at its default (GET,
// 60 s time-out, body unconverted), and stores LookupResultText of the reply.
// Blocks for as long as the fetch takes.
void RunLookup(const LookupHooks& hooks);

}  // namespace pellora
