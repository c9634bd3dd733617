#include "values/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace pellora {

namespace {

struct Stream {
  std::string data;
  std::size_t position = 0;
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

// Makes room for `size` bytes at the position; false when memory is short.
// The data is changed only on success.
bool MakeRoom(Stream& stream, std::size_t size) {
  if (size > stream.data.max_size() - stream.position) return false;
  const std::size_t end = stream.position + size;
  if (end <= stream.data.size()) return true;
  try {
    stream.data.resize(end);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool IsLineStop(unsigned char b) { return b == 0x00 || b == 0x1A; }

}  // namespace

StreamHandle OpenMemoryStream() { return Table().Open(); }

bool StreamWriteData(StreamHandle handle, const ByteStringArray& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  const int count = ArrayCount(array);
  std::size_t total = 0;
  for (int k = 1; k <= count; ++k) {
    const std::size_t size = array[k].size();
    // A length that does not fit the 4-byte field cannot be written faithfully.
    if (size > std::numeric_limits<uint32_t>::max()) return false;
    total += kLengthSize + size;
  }
  if (!MakeRoom(*stream, total)) return false;
  char* out = stream->data.data() + stream->position;
  for (int k = 1; k <= count; ++k) {
    const ByteString& element = array[k];
    PutLength(out, static_cast<uint32_t>(element.size()));
    out += kLengthSize;
    if (!element.empty()) std::memcpy(out, element.data(), element.size());
    out += element.size();
  }
  stream->position += total;
  return true;
}

bool StreamReadData(StreamHandle handle, ByteStringArray& array) {
  const auto stream = Table().Find(handle);
  if (!stream) return false;
  const int count = ArrayCount(array);
  const std::string& data = stream->data;
  std::size_t pos = stream->position;
  // Every length is checked against the data before anything is allocated,
  // and the array is touched only once all elements are in hand.
  try {
    std::vector<ByteString> read;
    // Every element takes at least its 4 length bytes.
    read.reserve(std::min(static_cast<std::size_t>(count), (data.size() - pos) / kLengthSize));
    for (int k = 0; k < count; ++k) {
      if (data.size() - pos < kLengthSize) return false;
      const std::size_t length = GetLength(data.data() + pos);
      pos += kLengthSize;
      if (data.size() - pos < length) return false;
      read.emplace_back(data, pos, length);
      pos += length;
    }
    for (int k = 0; k < count; ++k) array[k + 1] = std::move(read[static_cast<std::size_t>(k)]);
  } catch (const std::bad_alloc&) {
    return false;
  }
  stream->position = pos;
  return true;
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
  if (!MakeRoom(*stream, text.size())) return false;
  if (!text.empty()) std::memcpy(stream->data.data() + stream->position, text.data(), text.size());
  stream->position += text.size();
  return true;
}

Text StreamReadLine(StreamHandle handle) {
  const auto stream = Table().Find(handle);
  if (!stream) return {};
  const auto* d = reinterpret_cast<const unsigned char*>(stream->data.data());
  const std::size_t n = stream->data.size();
  const std::size_t begin = stream->position;
  std::size_t i = begin;
  std::size_t next = n;  // where the position goes
  std::size_t end = n;   // end of the collected bytes
  while (i < n) {
    const unsigned char b = d[i];
    if (b >= 0x80) {
      // A lead byte pairs with the next byte unless that is a zero byte or
      // missing; the pair never ends the line.
      i += (i + 1 < n && d[i + 1] != 0x00) ? 2 : 1;
      continue;
    }
    if (b == 0x0A) {
      end = i;
      next = i + 1;
      break;
    }
    if (IsLineStop(b)) {
      end = i;
      next = i;
      break;
    }
    ++i;
  }
  if (i >= n) end = next = n;
  if (end > begin && d[end - 1] == 0x0D) --end;
  stream->position = next;
  return std::string(stream->data, begin, end - begin);
}

bool StreamAtEnd(StreamHandle handle, bool textEnd) {
  const auto stream = Table().Find(handle);
  if (!stream) return true;
  if (stream->position >= stream->data.size()) return true;
  return textEnd && IsLineStop(static_cast<unsigned char>(stream->data[stream->position]));
}

void CloseStream(StreamHandle handle) { Table().Close(handle); }

}  // namespace pellora
