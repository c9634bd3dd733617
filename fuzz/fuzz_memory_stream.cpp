// Fuzzes the memory stream with a sequence of operations decided by the input,
// checked step by step against a naive model of one stream: a byte run and a
// position. The data mixes length-prefixed arrays (whose length fields the
// fuzzer can make huge or short) with text, so StreamReadData and
// StreamReadLine meet arbitrary bytes, zero and 0x1A bytes included. Large
// elements written by the moving StreamWriteData become buffers of their own
// inside the stream, so overwrites, line reads and takes also meet their
// boundaries.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "support/stream_model.h"
#include "values/internal/stream_segments.h"
#include "values/memory_stream.h"
#include "values/value_types.h"

namespace {

using namespace pellora;

using Model = testing::StreamModel;

// An element that is either short or large enough for the moving write to
// keep its buffer: a short pattern from the input, repeated.
std::string Element(FuzzedDataProvider& in) {
  std::string pattern = in.ConsumeRandomLengthString(16);
  if (!in.ConsumeBool() || pattern.empty()) return pattern;
  const size_t size = in.ConsumeIntegralInRange<size_t>(
      internal::kStreamAdoptMinBytes - 8, internal::kStreamAdoptMinBytes * 2);
  std::string large;
  large.reserve(size);
  while (large.size() < size) large.append(pattern, 0, std::min(pattern.size(), size - large.size()));
  return large;
}

std::vector<std::string> Elements(const ByteStringArray& array) {
  std::vector<std::string> out;
  for (int k = 1; k <= ArrayCount(array); ++k) out.push_back(array[k]);
  return out;
}

// Checks that every operation on a handle that names no open stream does
// nothing harmful and reports what its contract says.
void CheckInvalidHandle(StreamHandle h) {
  ByteStringArray array(2);
  array[1] = "keep";
  FUZZ_CHECK(!StreamWriteData(h, array), "write through an invalid handle");
  FUZZ_CHECK(!StreamReadData(h, array) && array[1] == "keep" && ArrayCount(array) == 2,
             "read through an invalid handle changed the array");
  FUZZ_CHECK(!StreamSeekToStart(h), "seek through an invalid handle");
  FUZZ_CHECK(!StreamWriteText(h, "x"), "text write through an invalid handle");
  FUZZ_CHECK(StreamReadLine(h).empty(), "line from an invalid handle");
  FUZZ_CHECK(StreamAtEnd(h) && StreamAtEnd(h, true), "an invalid handle is not at its end");
  CloseStream(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  StreamHandle h = OpenMemoryStream();
  FUZZ_CHECK(h != 0, "a new stream has the handle 0");
  Model model;
  int steps = 0;
  while (in.remaining_bytes() > 0 && ++steps < 200) {
    switch (in.ConsumeIntegralInRange<int>(0, 10)) {
      case 0: {  // an array of arbitrary elements
        std::vector<std::string> elements(in.ConsumeIntegralInRange<int>(0, 8));
        ByteStringArray array(static_cast<int>(elements.size()));
        for (size_t k = 0; k < elements.size(); ++k) {
          elements[k] = in.ConsumeRandomLengthString(64);
          array[static_cast<int>(k) + 1] = elements[k];
        }
        FUZZ_CHECK(StreamWriteData(h, array), "StreamWriteData failed");
        model.WriteArray(elements);
        break;
      }
      case 1: {  // text: any bytes but the zero byte, which a text cannot hold
        std::string text = in.ConsumeRandomLengthString(128);
        for (char& c : text) {
          if (c == '\0') c = '\n';
        }
        FUZZ_CHECK(StreamWriteText(h, text), "StreamWriteText failed");
        model.Write(text);
        break;
      }
      case 2: {  // four raw bytes, so length fields can announce anything
        std::string raw = in.ConsumeBytesAsString(4);
        for (char& c : raw) {
          if (c == '\0') c = '\x1A';
        }
        FUZZ_CHECK(StreamWriteText(h, raw), "StreamWriteText failed");
        model.Write(raw);
        break;
      }
      case 3:
        FUZZ_CHECK(StreamSeekToStart(h), "StreamSeekToStart failed");
        model.position = 0;
        break;
      case 4: {  // read into an array that holds something already
        const int count = in.ConsumeIntegralInRange<int>(0, 9);
        ByteStringArray array(count);
        for (int k = 1; k <= count; ++k) array[k] = "old" + std::to_string(k);
        const std::vector<std::string> before = Elements(array);
        std::vector<std::string> want;
        const bool ok = model.ReadArray(static_cast<size_t>(count), want);
        FUZZ_CHECK(StreamReadData(h, array) == ok, "StreamReadData result");
        FUZZ_CHECK(Elements(array) == (ok ? want : before), "StreamReadData elements");
        break;
      }
      case 5:
        FUZZ_CHECK(StreamReadLine(h) == model.ReadLine(), "StreamReadLine");
        break;
      case 6: {
        const bool textEnd = in.ConsumeBool();
        FUZZ_CHECK(StreamAtEnd(h, textEnd) == model.AtEnd(textEnd), "StreamAtEnd");
        break;
      }
      case 7: {  // close, check the dead handle, start afresh
        CloseStream(h);
        CheckInvalidHandle(h);
        h = OpenMemoryStream();
        model = Model{};
        break;
      }
      case 8:  // a handle that was never opened (almost surely)
        CheckInvalidHandle(in.ConsumeIntegralInRange<int>(INT32_MIN, -1));
        break;
      case 9: {  // the moving write, large elements included
        std::vector<std::string> elements(in.ConsumeIntegralInRange<int>(0, 3));
        ByteStringArray array(static_cast<int>(elements.size()));
        for (size_t k = 0; k < elements.size(); ++k) {
          elements[k] = Element(in);
          array[static_cast<int>(k) + 1] = elements[k];
        }
        FUZZ_CHECK(StreamWriteData(h, std::move(array)), "moving StreamWriteData failed");
        for (int k = 1; k <= ArrayCount(array); ++k) {
          const std::string& left = array[k];
          FUZZ_CHECK(left.empty() || left == elements[static_cast<size_t>(k) - 1],
                     "moving StreamWriteData changed an element it kept");
        }
        model.WriteArray(elements);
        break;
      }
      case 10: {  // the last read before closing: empties the stream on success
        const int count = in.ConsumeIntegralInRange<int>(0, 4);
        ByteStringArray array(count);
        for (int k = 1; k <= count; ++k) array[k] = "old" + std::to_string(k);
        const std::vector<std::string> before = Elements(array);
        std::vector<std::string> want;
        const bool ok = model.ReadArray(static_cast<size_t>(count), want);
        FUZZ_CHECK(StreamTakeData(h, array) == ok, "StreamTakeData result");
        FUZZ_CHECK(Elements(array) == (ok ? want : before), "StreamTakeData elements");
        if (ok) model = Model{};
        break;
      }
    }
    // The line loop of the request worker must end however the data looks.
    FUZZ_CHECK(model.AtEnd(false) == StreamAtEnd(h, false), "StreamAtEnd drifted");
    if (model.data.size() < 4096) {
      FUZZ_CHECK(internal::StreamBytes(h) == model.data, "stream bytes drifted from the model");
    }
  }
  FUZZ_CHECK(internal::StreamBytes(h) == model.data, "stream bytes differ from the model");
  CloseStream(h);
  CloseStream(h);
  return 0;
}
