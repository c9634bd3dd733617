#include "values/memory_stream.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "values/internal/stream_segments.h"

namespace pellora {

namespace {

// A stream's data is a run of segments, each a buffer of its own, that hold
// the bytes in order. Large elements given to the moving StreamWriteData
// become segments as they are, and StreamTakeData hands such a segment back
// whole, so a large body passes through a stream without being copied. Every
// other operation sees one run of bytes, exactly as if it were one buffer.
struct Segment {
  std::size_t start = 0;  // offset of its first byte in the data
  std::string bytes;      // never empty
  bool adopted = false;   // a caller's buffer: grown in place only into spare capacity
};

struct Stream {
  std::vector<Segment> segments;  // in order, without gaps
  std::size_t size = 0;           // the sum of the segments' sizes
  std::size_t position = 0;       // never past size
};

// The process-wide table of open streams. A use looks its stream up under the
// lock and then works on it outside the lock through its own shared_ptr, so a
// close racing with a use never frees memory that is still in use.
class StreamTable {
 public:
  StreamHandle Open() {
    auto stream = std::make_shared<Stream>();
    std::lock_guard<std::mutex> lock(mutex_);
    // Handles count up through the positive range and wrap to 1, skipping any
    // still open, so a handle is never 0 and never names two open streams.
    for (;;) {
      if (next_ <= 0) next_ = 1;
      const StreamHandle handle = next_;
      next_ = handle == std::numeric_limits<StreamHandle>::max() ? 1 : handle + 1;
      if (streams_.emplace(handle, stream).second) return handle;
    }
  }

  std::shared_ptr<Stream> Find(StreamHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second;
  }

  void Close(StreamHandle handle) {
    std::shared_ptr<Stream> released;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = streams_.find(handle);
      if (it == streams_.end()) return;
      released = std::move(it->second);
      streams_.erase(it);
    }
    // `released` frees the data here, outside the lock, unless a concurrent
    // use still holds it.
  }

 private:
  std::mutex mutex_;
  std::unordered_map<StreamHandle, std::shared_ptr<Stream>> streams_;
  StreamHandle next_ = 1;
};

// Never destroyed: threads still running while the process exits may use it.
StreamTable& Table() {
  static StreamTable* const table = new StreamTable;
  return *table;
}

constexpr std::size_t kLengthSize = 4;
constexpr std::size_t kMaxElement = std::numeric_limits<uint32_t>::max();

void PutLength(char* out, uint32_t length) {
  for (std::size_t k = 0; k < kLengthSize; ++k)
    out[k] = static_cast<char>((length >> (8 * k)) & 0xFFU);
}

uint32_t GetLength(const char* in) {
  uint32_t length = 0;
  for (std::size_t k = 0; k < kLengthSize; ++k)
    length |= static_cast<uint32_t>(static_cast<unsigned char>(in[k])) << (8 * k);
  return length;
}

bool IsLineStop(unsigned char b) { return b == 0x00 || b == 0x1A; }

// The index of the segment holding the byte at `offset` (< size).
std::size_t SegmentAt(const Stream& s, std::size_t offset) {
  const auto it =
      std::upper_bound(s.segments.begin(), s.segments.end(), offset,
                       [](std::size_t value, const Segment& seg) { return value < seg.start; });
  return static_cast<std::size_t>(it - s.segments.begin()) - 1;
}

// Walks the data forward from an offset, segment by segment. Each step costs
// the bytes it covers plus the segments it passes.
class Cursor {
 public:
  Cursor(Stream& s, std::size_t offset) : s_(s), offset_(offset) {
    if (offset < s.size) {
      seg_ = SegmentAt(s, offset);
      in_ = offset - s.segments[seg_].start;
    } else {
      seg_ = s.segments.size();
    }
  }

  std::size_t Offset() const { return offset_; }
  std::size_t Left() const { return s_.size - offset_; }
  std::size_t SegmentIndex() const { return seg_; }
  bool AtSegmentStart() const { return in_ == 0; }

  // The byte at the cursor (ahead 0) or right after it (ahead 1); the caller
  // makes sure it exists (ahead < Left()).
  unsigned char Peek(std::size_t ahead) const {
    const std::string& here = s_.segments[seg_].bytes;
    if (in_ + ahead < here.size()) return static_cast<unsigned char>(here[in_ + ahead]);
    return static_cast<unsigned char>(s_.segments[seg_ + 1].bytes[in_ + ahead - here.size()]);
  }

  // n <= Left().
  void Skip(std::size_t n) {
    offset_ += n;
    in_ += n;
    while (seg_ < s_.segments.size() && in_ >= s_.segments[seg_].bytes.size()) {
      in_ -= s_.segments[seg_].bytes.size();
      ++seg_;
    }
  }

  // Copies n <= Left() bytes out and moves past them.
  void CopyOut(char* out, std::size_t n) {
    while (n > 0) {
      const std::string& here = s_.segments[seg_].bytes;
      const std::size_t part = std::min(n, here.size() - in_);
      std::memcpy(out, here.data() + in_, part);
      out += part;
      n -= part;
      Skip(part);
    }
  }

  // Overwrites n <= Left() bytes and moves past them.
  void CopyIn(const char* in, std::size_t n) {
    while (n > 0) {
      std::string& here = s_.segments[seg_].bytes;
      const std::size_t part = std::min(n, here.size() - in_);
      std::memcpy(here.data() + in_, in, part);
      in += part;
      n -= part;
      Skip(part);
    }
  }

  // A copy of the next n <= Left() bytes; moves past them. May throw bad_alloc.
  std::string Take(std::size_t n) {
    if (n == 0) return {};
    const std::string& here = s_.segments[seg_].bytes;
    if (n <= here.size() - in_) {
      std::string out(here, in_, n);
      Skip(n);
      return out;
    }
    std::string out;
    out.reserve(n);
    while (out.size() < n) {
      const std::string& part = s_.segments[seg_].bytes;
      const std::size_t length = std::min(n - out.size(), part.size() - in_);
      out.append(part, in_, length);
      Skip(length);
    }
    return out;
  }

 private:
  Stream& s_;
  std::size_t offset_;
  std::size_t seg_ = 0;
  std::size_t in_ = 0;
};

// Makes the data `end` bytes long when it is shorter; the new bytes are to be
// overwritten by the caller. False, with nothing changed, when memory is short.
bool Extend(Stream& s, std::size_t end) {
  if (end <= s.size) return true;
  const std::size_t need = end - s.size;
  try {
    if (!s.segments.empty()) {
      std::string& last = s.segments.back().bytes;
      // A stream's own buffer grows geometrically, so appending stays linear;
      // a caller's buffer is full, and growing it would copy it whole.
      if (!s.segments.back().adopted || last.capacity() - last.size() >= need) {
        last.resize(last.size() + need);
        s.size = end;
        return true;
      }
    }
    Segment fresh;
    fresh.start = s.size;
    fresh.bytes.resize(need);
    s.segments.push_back(std::move(fresh));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  s.size = end;
  return true;
}

// The bytes the array takes in the stream; false when an element's length
// does not fit its 4-byte field or the total cannot be addressed.
bool ArrayBytes(const ByteStringArray& array, std::size_t& total) {
  total = 0;
  const int count = ArrayCount(array);
  for (int k = 1; k <= count; ++k) {
    const std::size_t size = array[k].size();
    if (size > kMaxElement) return false;
    if (total > std::numeric_limits<std::size_t>::max() - kLengthSize - size) return false;
    total += kLengthSize + size;
  }
  return true;
}

bool CopyWrite(Stream& s, const ByteStringArray& array, std::size_t total) {
  if (total > std::numeric_limits<std::size_t>::max() - s.position) return false;
  const std::size_t end = s.position + total;
  if (!Extend(s, end)) return false;
  if (total == 0) return true;
  Cursor out(s, s.position);
  const int count = ArrayCount(array);
  for (int k = 1; k <= count; ++k) {
    const ByteString& element = array[k];
    char length[kLengthSize];
    PutLength(length, static_cast<uint32_t>(element.size()));
    out.CopyIn(length, kLengthSize);
    out.CopyIn(element.data(), element.size());
  }
  s.position = end;
  return true;
}

bool IsAdoptable(const ByteString& element) {
  return element.size() >= internal::kStreamAdoptMinBytes;
}

// Writes the array at the position, keeping each large element's buffer as a
// segment of its own. The bytes replaced are [position, position + total):
// the segments inside that range are dropped, the one holding its start keeps
// its bytes before it, and the bytes after its end in the segment holding the
// end move to a new buffer. All memory is had before anything changes.
bool MovingWrite(Stream& s, ByteStringArray& array, std::size_t total) {
  if (total > std::numeric_limits<std::size_t>::max() - s.position) return false;
  const int count = ArrayCount(array);
  std::size_t adoptedBytes = 0;
  for (int k = 1; k <= count; ++k) {
    if (IsAdoptable(array[k])) adoptedBytes += array[k].size();
  }
  if (adoptedBytes == 0) return CopyWrite(s, array, total);

  const std::size_t begin = s.position;
  const std::size_t end = begin + total;
  const std::size_t segmentCount = s.segments.size();
  std::size_t headIndex = segmentCount;  // the segment holding `begin`
  std::size_t headKeep = 0;              // its bytes before `begin`
  if (begin < s.size) {
    headIndex = SegmentAt(s, begin);
    headKeep = begin - s.segments[headIndex].start;
  }
  std::size_t tailIndex = segmentCount;  // the segment holding `end`
  std::size_t tailCut = 0;               // its bytes before `end`
  if (end < s.size) {
    tailIndex = SegmentAt(s, end);
    tailCut = end - s.segments[tailIndex].start;
  }
  const std::size_t tailSize = tailCut > 0 ? s.segments[tailIndex].bytes.size() - tailCut : 0;
  // Moving the tail out costs a copy of it; past the size of what is adopted,
  // copying the elements in place is cheaper.
  if (tailSize > adoptedBytes) return CopyWrite(s, array, total);

  // The old segments [dropFrom, dropTo) give way to `written`, which ends
  // with what is left of the segment holding `end`.
  const std::size_t dropFrom = headKeep > 0 ? headIndex + 1 : headIndex;
  const std::size_t dropTo =
      end >= s.size ? segmentCount : (tailSize > 0 ? tailIndex + 1 : tailIndex);
  std::vector<Segment> written;                    // the new segments from `begin` on
  std::vector<std::pair<std::size_t, int>> adopt;  // written index, element
  std::string head;
  bool copyHead = false;
  try {
    std::string run;
    std::size_t at = begin;
    const auto flushRun = [&] {
      if (run.empty()) return;
      Segment seg;
      seg.start = at - run.size();
      seg.bytes = std::move(run);
      written.push_back(std::move(seg));
      run = std::string();
    };
    for (int k = 1; k <= count; ++k) {
      const ByteString& element = array[k];
      char length[kLengthSize];
      PutLength(length, static_cast<uint32_t>(element.size()));
      run.append(length, kLengthSize);
      at += kLengthSize;
      if (IsAdoptable(element)) {
        flushRun();
        Segment seg;
        seg.start = at;
        seg.adopted = true;
        adopt.emplace_back(written.size(), k);
        written.push_back(std::move(seg));
      } else {
        run.append(element);
      }
      at += element.size();
    }
    flushRun();
    if (tailSize > 0) {
      Segment rest;
      rest.start = end;
      rest.bytes.assign(s.segments[tailIndex].bytes, tailCut, std::string::npos);
      written.push_back(std::move(rest));
    }
    if (headKeep > 0) {
      // A small head left in a large buffer would pin the whole buffer.
      const std::string& bytes = s.segments[headIndex].bytes;
      copyHead = headKeep < internal::kStreamAdoptMinBytes && bytes.size() - headKeep > headKeep;
      if (copyHead) head.assign(bytes, 0, headKeep);
    }
    // Room for the result, grown geometrically so that appending block after
    // block stays linear.
    const std::size_t needed = segmentCount - (dropTo - dropFrom) + written.size();
    if (needed > s.segments.capacity()) {
      s.segments.reserve(std::max(needed, 2 * s.segments.capacity()));
    }
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }

  // From here on nothing allocates or throws: the segments fit the reserved
  // room and moving one cannot fail.
  if (headKeep > 0) {
    Segment& kept = s.segments[headIndex];
    if (copyHead) {
      kept.bytes = std::move(head);
      kept.adopted = false;
    } else {
      kept.bytes.resize(headKeep);
    }
  }
  for (const auto& [index, k] : adopt) written[index].bytes = std::move(array[k]);
  const auto from = s.segments.begin() + static_cast<std::ptrdiff_t>(dropFrom);
  const auto at = s.segments.erase(from, s.segments.begin() + static_cast<std::ptrdiff_t>(dropTo));
  s.segments.insert(at, std::make_move_iterator(written.begin()),
                    std::make_move_iterator(written.end()));
  s.size = std::max(s.size, end);
  s.position = end;
  for (const auto& entry : adopt) array[entry.second].clear();
  return true;
}

// Reads ArrayCount(array) elements from the position. With `take`, an element
// that is exactly one segment is moved out of it, and on success the stream
// is left empty.
bool ReadElements(Stream& s, ByteStringArray& array, bool take) {
  const int count = ArrayCount(array);
  Cursor in(s, s.position);
  // Each length is checked against the data before its element is allocated,
  // and neither the array nor the stream changes until all elements are in
  // hand.
  std::vector<ByteString> read;
  std::vector<std::pair<std::size_t, std::size_t>> moves;  // element, segment
  try {
    // Every element takes at least its 4 length bytes.
    read.reserve(std::min(static_cast<std::size_t>(count), in.Left() / kLengthSize));
    for (int k = 0; k < count; ++k) {
      if (in.Left() < kLengthSize) return false;
      char field[kLengthSize];
      in.CopyOut(field, kLengthSize);
      const std::size_t length = GetLength(field);
      if (in.Left() < length) return false;
      if (take && length > 0 && in.AtSegmentStart() &&
          s.segments[in.SegmentIndex()].bytes.size() == length) {
        moves.emplace_back(read.size(), in.SegmentIndex());
        read.emplace_back();
        in.Skip(length);
      } else {
        read.push_back(in.Take(length));
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (const auto& [element, segment] : moves) read[element] = std::move(s.segments[segment].bytes);
  for (int k = 0; k < count; ++k) array[k + 1] = std::move(read[static_cast<std::size_t>(k)]);
  if (take) {
    std::vector<Segment>().swap(s.segments);
    s.size = 0;
    s.position = 0;
  } else {
    s.position = in.Offset();
  }
  return true;
}

}  // namespace

StreamHandle OpenMemoryStream() { return Table().Open(); }

bool StreamWriteData(StreamHandle handle, const ByteStringArray& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  std::size_t total = 0;
  if (!ArrayBytes(array, total)) return false;
  return CopyWrite(*stream, array, total);
}

bool StreamWriteData(StreamHandle handle, ByteStringArray&& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  std::size_t total = 0;
  if (!ArrayBytes(array, total)) return false;
  return MovingWrite(*stream, array, total);
}

bool StreamReadData(StreamHandle handle, ByteStringArray& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  return ReadElements(*stream, array, false);
}

bool StreamTakeData(StreamHandle handle, ByteStringArray& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  return ReadElements(*stream, array, true);
}

bool StreamSeekToStart(StreamHandle handle) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  stream->position = 0;
  return true;
}

bool StreamWriteText(StreamHandle handle, std::string_view text) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  Stream& s = *stream;
  if (text.size() > std::numeric_limits<std::size_t>::max() - s.position) return false;
  const std::size_t end = s.position + text.size();
  if (!Extend(s, end)) return false;
  if (text.empty()) return true;
  Cursor out(s, s.position);
  out.CopyIn(text.data(), text.size());
  s.position = end;
  return true;
}

Text StreamReadLine(StreamHandle handle) {
  const auto stream = Table().Find(handle);
  if (!stream) return {};
  Stream& s = *stream;
  const std::size_t n = s.size;
  const std::size_t begin = s.position;
  std::size_t next = n;  // where the position goes
  std::size_t end = n;   // end of the collected bytes
  Cursor at(s, begin);
  while (at.Offset() < n) {
    const unsigned char b = at.Peek(0);
    if (b >= 0x80) {
      // A lead byte pairs with the next byte unless that is a zero byte or
      // missing; the pair never ends the line.
      at.Skip(at.Left() > 1 && at.Peek(1) != 0x00 ? 2 : 1);
      continue;
    }
    if (b == 0x0A) {
      end = at.Offset();
      next = end + 1;
      break;
    }
    if (IsLineStop(b)) {
      end = next = at.Offset();
      break;
    }
    at.Skip(1);
  }
  if (end > begin && Cursor(s, end - 1).Peek(0) == 0x0D) --end;
  s.position = next;
  return Cursor(s, begin).Take(end - begin);
}

bool StreamAtEnd(StreamHandle handle, bool textEnd) {
  const auto stream = Table().Find(handle);
  if (!stream) return true;
  Stream& s = *stream;
  if (s.position >= s.size) return true;
  return textEnd && IsLineStop(Cursor(s, s.position).Peek(0));
}

void CloseStream(StreamHandle handle) { Table().Close(handle); }

ByteString internal::StreamBytes(StreamHandle handle) {
  const auto stream = Table().Find(handle);
  if (!stream) return {};
  return Cursor(*stream, 0).Take(stream->size);
}

std::size_t internal::StreamSegmentCount(StreamHandle handle) {
  const auto stream = Table().Find(handle);
  return stream ? stream->segments.size() : 0;
}

}  // namespace pellora
