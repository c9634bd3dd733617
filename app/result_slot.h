// The one text handed from the lookup threads to the window.
#pragma once

#include "values/value_types.h"

namespace pellora {

// Puts `text` into the slot, releasing the text it held. Any thread.
void StoreResult(Text text);

// Returns the slot's text and leaves the slot empty; the empty text when the
// slot is empty. A stored text is handed out at most once. Any thread.
[[nodiscard]] Text TakeResult();

// The exit hook: releases whatever the slot still holds.
void OnProgramExit();

}  // namespace pellora
