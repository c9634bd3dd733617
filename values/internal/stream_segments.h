// How the memory stream stores its data, for its tests and benchmarks.
#pragma once

#include <cstddef>

#include "values/memory_stream.h"
#include "values/value_types.h"

namespace pellora::internal {

// An element of at least this many bytes handed to the moving StreamWriteData
// keeps its own buffer inside the stream instead of being copied; smaller
// ones are copied, which costs less than tracking another buffer.
inline constexpr std::size_t kStreamAdoptMinBytes = std::size_t{64} << 10;

// A copy of all the stream's data, whatever its position; empty for an
// invalid handle.
[[nodiscard]] ByteString StreamBytes(StreamHandle handle);

// The number of separate buffers the stream's data is held in (0 when empty
// or for an invalid handle).
[[nodiscard]] std::size_t StreamSegmentCount(StreamHandle handle);

}  // namespace pellora::internal
