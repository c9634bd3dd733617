// The request worker's body, for a caller that wants to release the reply
// block itself (after it has signalled that the stream is ready).
#pragma once

#include <atomic>

#include "values/memory_stream.h"
#include "values/value_types.h"

namespace pellora::internal {

// Does all that RequestWorker does and returns the block it wrote into the
// stream (empty when it wrote nothing).
[[nodiscard]] ByteStringArray ServeExchange(StreamHandle stream,
                                            const std::atomic<bool>* stop);

}  // namespace pellora::internal
