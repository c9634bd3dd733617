// An in-memory byte stream with one read/write position, reached through a
// handle that any thread may use. The table of open streams is shared by the
// whole process and safe under concurrent open, close and look-up; one stream
// must not be used by two threads at the same moment.
//
// A ByteStringArray is written as, for each element in order, a 4-byte
// little-endian length and then that many bytes; there is no header.
#pragma once

#include <cstdint>

#include "values/value_types.h"

namespace pellora {

// A non-zero number naming an open stream. Every operation accepts an invalid
// handle (never opened, or closed) and does nothing harmful.
using StreamHandle = int32_t;

// A new, empty stream. Handles are positive and never name two open streams
// at once (a closed stream's handle may come back only after some 2^31 opens).
[[nodiscard]] StreamHandle OpenMemoryStream();

// Writes every element at the position. False, with the stream unchanged, for
// an invalid handle, when memory runs short, or for an element of 4 GiB or
// more (its length does not fit the 4-byte field).
bool StreamWriteData(StreamHandle handle, const ByteStringArray& array);

// Writes exactly the bytes the copying form writes, with the same result, but
// may keep a large element's buffer inside the stream instead of copying it:
// on success each element so taken over is left empty and the others are
// unchanged; on failure the array is unchanged.
bool StreamWriteData(StreamHandle handle, ByteStringArray&& array);

// Reads ArrayCount(array) elements into `array`. When the data runs out first
// the position and the array are left as they were and the result is false
// (also when memory runs short). Each element's bytes are copied once.
bool StreamReadData(StreamHandle handle, ByteStringArray& array);

// Reads like StreamReadData, with the same result, and on success leaves the
// stream empty (length 0, position 0) so that large elements are handed over
// without a copy. Meant for the last read before CloseStream. On failure the
// stream and the array are left as they were.
bool StreamTakeData(StreamHandle handle, ByteStringArray& array);

// Position to 0. False for an invalid handle.
bool StreamSeekToStart(StreamHandle handle);

// Writes the text's bytes at the position, no line end added. False, with
// the stream unchanged, for an invalid handle or when memory runs short.
bool StreamWriteText(StreamHandle handle, std::string_view text);

// The next line without its line feed and one trailing carriage return. A zero
// or 0x1A byte ends the line and is not passed: the position stays on it.
// A byte of 0x80 or above forms one character with the next byte (which then
// never ends the line) unless that byte is zero or missing.
// Empty at the end and for an invalid handle.
//
// A loop `while (!StreamAtEnd(h)) StreamReadLine(h);` never ends once a zero
// or 0x1A byte lies before the end of the data, because the position stops
// on it. Loop on `!StreamAtEnd(h, true)` instead: it ends at such a byte as
// well as at the end of the data.
[[nodiscard]] Text StreamReadLine(StreamHandle handle);

// True at or past the end of the data (and for an invalid handle); with
// textEnd, also when the byte at the position is a zero or 0x1A byte.
[[nodiscard]] bool StreamAtEnd(StreamHandle handle, bool textEnd = false);

// Releases the stream; closing an invalid handle does nothing.
void CloseStream(StreamHandle handle);

}  // namespace pellora
