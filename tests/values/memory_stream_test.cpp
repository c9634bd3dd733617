#include "values/memory_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "support/stream_model.h"
#include "values/internal/stream_segments.h"

namespace pellora {
namespace {

using namespace std::string_view_literals;

// Owns one open stream for the length of a test.
class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override { handle_ = OpenMemoryStream(); }
  void TearDown() override { CloseStream(handle_); }
  StreamHandle handle_ = 0;
};

ByteStringArray MakeArray(std::initializer_list<std::string_view> elements) {
  ByteStringArray array(static_cast<int>(elements.size()));
  int k = 1;
  for (std::string_view e : elements) array[k++] = ByteString(e);
  return array;
}

std::vector<std::string> Elements(const ByteStringArray& array) {
  std::vector<std::string> out;
  for (int k = 1; k <= ArrayCount(array); ++k) out.push_back(array[k]);
  return out;
}

TEST_F(StreamTest, ArrayRoundTripWithEmptyElements) {
  const ByteStringArray block = MakeArray({"GET", "", "http://x/", "h\0d"sv, "", "60", "\xD6\xD0"});
  ASSERT_TRUE(StreamWriteData(handle_, block));
  EXPECT_TRUE(StreamAtEnd(handle_));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray read(7);
  ASSERT_TRUE(StreamReadData(handle_, read));
  EXPECT_EQ(Elements(read), Elements(block));
  // 28 length bytes plus the element bytes, nothing else.
  EXPECT_TRUE(StreamAtEnd(handle_));
}

TEST_F(StreamTest, LayoutIsLittleEndianLengthThenBytes) {
  // Written by hand: lengths 257 and 0, then an element of 3 bytes.
  std::string raw("\x01\x01\x00\x00"sv);
  raw += std::string(257, 'q');
  raw += "\0\0\0\0"sv;
  raw += "\x03\0\0\0abc"sv;
  ASSERT_TRUE(StreamWriteText(handle_, raw));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray read(3);
  ASSERT_TRUE(StreamReadData(handle_, read));
  EXPECT_EQ(read[1], std::string(257, 'q'));
  EXPECT_EQ(read[2], "");
  EXPECT_EQ(read[3], "abc");

  // And what StreamWriteData puts down starts with the same length bytes.
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ASSERT_TRUE(StreamWriteData(handle_, MakeArray({std::string(257, 'z')})));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  EXPECT_EQ(StreamReadLine(handle_), "\x01\x01");
}

TEST_F(StreamTest, ShorterWriteLeavesOldTail) {
  ASSERT_TRUE(StreamWriteData(
      handle_, MakeArray({"long1", "long2", "long3", "long4", "long5", "long6", "long7"})));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  const ByteStringArray shorter = MakeArray({"a", "", "c", "", "e", "f", "g"});
  ASSERT_TRUE(StreamWriteData(handle_, shorter));
  EXPECT_FALSE(StreamAtEnd(handle_));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray read(7);
  ASSERT_TRUE(StreamReadData(handle_, read));
  EXPECT_EQ(Elements(read), Elements(shorter));
  EXPECT_FALSE(StreamAtEnd(handle_));  // the old block's tail is still there
}

TEST_F(StreamTest, ShortReadRestoresPositionAndArray) {
  ASSERT_TRUE(StreamWriteData(handle_, MakeArray({"1", "2", "3", "4", "5"})));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray seven = MakeArray({"k1", "k2", "k3", "k4", "k5", "k6", "k7"});
  const auto before = Elements(seven);
  EXPECT_FALSE(StreamReadData(handle_, seven));
  EXPECT_EQ(Elements(seven), before);
  ByteStringArray five(5);
  ASSERT_TRUE(StreamReadData(handle_, five));  // the position was kept
  EXPECT_EQ(five[5], "5");
}

TEST_F(StreamTest, ReadFailsOnTruncatedData) {
  struct Row {
    const char* name;
    std::string_view raw;
  };
  const Row rows[] = {
      {"partial length", "\x02\0"sv},
      {"missing bytes", "\x05\0\0\0abc"sv},
      {"huge announced length",
       "\xFF\xFF\xFF\xFF"
       "ab"sv},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const StreamHandle h = OpenMemoryStream();
    ASSERT_TRUE(StreamWriteText(h, row.raw));
    ASSERT_TRUE(StreamSeekToStart(h));
    ByteStringArray one = MakeArray({"keep"});
    EXPECT_FALSE(StreamReadData(h, one));
    EXPECT_EQ(one[1], "keep");
    EXPECT_FALSE(StreamAtEnd(h));
    CloseStream(h);
  }
}

TEST_F(StreamTest, ZeroElementsReadNothing) {
  ByteStringArray none;
  EXPECT_TRUE(StreamReadData(handle_, none));
  EXPECT_TRUE(StreamWriteData(handle_, none));
  EXPECT_TRUE(StreamAtEnd(handle_));
}

TEST_F(StreamTest, WriteOverwritesAtPosition) {
  ASSERT_TRUE(StreamWriteText(handle_, "abcdef"));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ASSERT_TRUE(StreamWriteText(handle_, "XY"));
  ASSERT_TRUE(StreamWriteText(handle_, ""));
  EXPECT_EQ(StreamReadLine(handle_), "cdef");
  ASSERT_TRUE(StreamSeekToStart(handle_));
  EXPECT_EQ(StreamReadLine(handle_), "XYcdef");
}

// Reads lines the way a header parser would, stopping at a zero or 0x1A byte.
std::vector<std::string> ReadAllLines(StreamHandle h) {
  std::vector<std::string> lines;
  while (!StreamAtEnd(h, true)) lines.push_back(StreamReadLine(h));
  return lines;
}

TEST(StreamReadLineTest, Table) {
  struct Row {
    const char* name;
    std::string_view data;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"line ends", "a\r\nb\n\nc", {"a", "b", "", "c"}},
      {"final carriage return", "x\r", {"x"}},
      {"carriage return alone", "\r", {""}},
      {"one carriage return dropped", "a\r\r\nb", {"a\r", "b"}},
      {"carriage return inside kept", "a\rb\n", {"a\rb"}},
      {"0x1A stops",
       "a\x1A"
       "b",
       {"a"}},
      {"zero byte stops", "a\0b"sv, {"a"}},
      {"line feed as second byte",
       "\xB0\x0A"
       "x\ny",
       {"\xB0\x0Ax", "y"}},
      {"0x1A as second byte",
       "\xB0\x1A"
       "x",
       {"\xB0\x1Ax"}},
      {"lead byte before zero byte", "\xB0\0x"sv, {"\xB0"}},
      {"lone final lead byte", "ab\xB0", {"ab\xB0"}},
      {"CJK line", "\xD6\xD0\xCE\xC4\r\n", {"\xD6\xD0\xCE\xC4"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const StreamHandle h = OpenMemoryStream();
    ASSERT_TRUE(StreamWriteText(h, row.data));
    ASSERT_TRUE(StreamSeekToStart(h));
    EXPECT_EQ(ReadAllLines(h), row.lines);
    CloseStream(h);
  }
}

TEST_F(StreamTest, ReadingAtEndGivesEmptyText) {
  ASSERT_TRUE(StreamWriteText(handle_, "a\r\nb\n\nc"));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  for (const char* line : {"a", "b", "", "c"}) {
    EXPECT_FALSE(StreamAtEnd(handle_));
    EXPECT_EQ(StreamReadLine(handle_), line);
  }
  EXPECT_TRUE(StreamAtEnd(handle_));
  EXPECT_EQ(StreamReadLine(handle_), "");
  EXPECT_TRUE(StreamAtEnd(handle_));
}

TEST_F(StreamTest, StopByteHoldsThePosition) {
  ASSERT_TRUE(StreamWriteText(handle_,
                              "a\x1A"
                              "b"));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  EXPECT_EQ(StreamReadLine(handle_), "a");
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(StreamReadLine(handle_), "");
    EXPECT_FALSE(StreamAtEnd(handle_));
    EXPECT_FALSE(StreamAtEnd(handle_, false));
    EXPECT_TRUE(StreamAtEnd(handle_, true));
  }
}

TEST(StreamHandleTest, InvalidAndClosedHandlesAreHarmless) {
  const StreamHandle closed = OpenMemoryStream();
  ASSERT_TRUE(StreamWriteText(closed, "data\n"));
  CloseStream(closed);
  for (const StreamHandle h : {StreamHandle{0}, StreamHandle{-1}, closed, StreamHandle{INT32_MAX},
                               StreamHandle{INT32_MIN}}) {
    SCOPED_TRACE(h);
    ByteStringArray array = MakeArray({"keep"});
    EXPECT_FALSE(StreamWriteData(h, array));
    EXPECT_FALSE(StreamReadData(h, array));
    EXPECT_EQ(array[1], "keep");
    EXPECT_FALSE(StreamSeekToStart(h));
    EXPECT_FALSE(StreamWriteText(h, "x"));
    EXPECT_EQ(StreamReadLine(h), "");
    EXPECT_TRUE(StreamAtEnd(h));
    EXPECT_TRUE(StreamAtEnd(h, true));
    CloseStream(h);
    CloseStream(h);
  }
}

TEST(StreamHandleTest, OpenHandlesAreNonZeroAndDistinct) {
  std::vector<StreamHandle> handles;
  std::set<StreamHandle> seen;
  for (int k = 0; k < 1000; ++k) {
    const StreamHandle h = OpenMemoryStream();
    EXPECT_NE(h, 0);
    EXPECT_TRUE(seen.insert(h).second);
    handles.push_back(h);
  }
  // Each stream is its own.
  ASSERT_TRUE(StreamWriteText(handles[0], "first"));
  EXPECT_TRUE(StreamAtEnd(handles[1]));
  for (StreamHandle h : handles) CloseStream(h);
}

// The moving write and StreamTakeData: large elements keep their buffers, and
// every byte, read and line comes out as from a stream held in one buffer.

constexpr std::size_t kBig = internal::kStreamAdoptMinBytes;

// `n` bytes that vary, with line feeds, carriage returns, high bytes and
// stop bytes among them.
std::string Filler(std::size_t n, char seed) {
  std::string out(n, seed);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>('a' + (i * 7 + seed) % 23);
  for (std::size_t i = 5; i < n; i += 97) out[i] = '\n';
  for (std::size_t i = 11; i < n; i += 131) out[i] = '\xB0';
  return out;
}

using ModelStream = testing::StreamModel;

ByteStringArray ToArray(const std::vector<std::string>& elements) {
  ByteStringArray array(static_cast<int>(elements.size()));
  for (std::size_t k = 0; k < elements.size(); ++k) array[static_cast<int>(k) + 1] = elements[k];
  return array;
}

TEST_F(StreamTest, MovingWriteKeepsLargeBuffersAndTheLayout) {
  const std::vector<std::string> elements = {
      "GET", Filler(kBig, 'b'), "", Filler(kBig - 1, 'c'), Filler(3 * kBig + 5, 'd'), "\xD6\xD0"};
  ByteStringArray block = ToArray(elements);
  const char* const big = block[2].data();
  const char* const bigger = block[5].data();
  ASSERT_TRUE(StreamWriteData(handle_, std::move(block)));
  // Taken over: the two large elements; copied: the rest.
  EXPECT_EQ(block[2], "");
  EXPECT_EQ(block[5], "");
  EXPECT_EQ(block[1], "GET");
  EXPECT_EQ(block[4], elements[3]);
  EXPECT_TRUE(StreamAtEnd(handle_));

  ModelStream model;
  model.WriteArray(elements);
  EXPECT_EQ(internal::StreamBytes(handle_), model.data);

  // A plain read copies and leaves the stream as it was.
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray copied(6);
  ASSERT_TRUE(StreamReadData(handle_, copied));
  EXPECT_EQ(Elements(copied), elements);
  EXPECT_EQ(internal::StreamBytes(handle_), model.data);

  // A take hands the same buffers back and empties the stream.
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ByteStringArray taken(6);
  ASSERT_TRUE(StreamTakeData(handle_, taken));
  EXPECT_EQ(Elements(taken), elements);
  EXPECT_EQ(taken[2].data(), big);
  EXPECT_EQ(taken[5].data(), bigger);
  EXPECT_TRUE(StreamAtEnd(handle_));
  EXPECT_EQ(internal::StreamSegmentCount(handle_), 0U);
  EXPECT_EQ(internal::StreamBytes(handle_), "");
  // The emptied stream is an ordinary empty stream.
  ASSERT_TRUE(StreamWriteText(handle_, "x\n"));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  EXPECT_EQ(StreamReadLine(handle_), "x");
}

TEST_F(StreamTest, TakeThatFailsChangesNothing) {
  ASSERT_TRUE(StreamWriteData(handle_, MakeArray({"one", "two"})));
  ASSERT_TRUE(StreamWriteData(handle_, ToArray({Filler(kBig, 'e')})));
  ASSERT_TRUE(StreamSeekToStart(handle_));
  const std::string before = internal::StreamBytes(handle_);
  ByteStringArray four = MakeArray({"k1", "k2", "k3", "k4"});
  EXPECT_FALSE(StreamTakeData(handle_, four));
  EXPECT_EQ(Elements(four), (std::vector<std::string>{"k1", "k2", "k3", "k4"}));
  EXPECT_EQ(internal::StreamBytes(handle_), before);
  ByteStringArray three(3);
  ASSERT_TRUE(StreamTakeData(handle_, three));  // the position was kept
  EXPECT_EQ(three[3], Filler(kBig, 'e'));

  for (const StreamHandle h : {StreamHandle{0}, StreamHandle{-7}}) {
    ByteStringArray big = ToArray({Filler(kBig, 'f')});
    EXPECT_FALSE(StreamWriteData(h, std::move(big)));
    EXPECT_EQ(big[1], Filler(kBig, 'f'));
    EXPECT_FALSE(StreamTakeData(h, big));
    EXPECT_EQ(big[1], Filler(kBig, 'f'));
  }
}

// An element whose length matches a buffer it does not start at is copied,
// not taken from that buffer.
TEST_F(StreamTest, TakeMovesOnlyElementsThatAreWholeBuffers) {
  std::string big = Filler(kBig, 'm');
  big.replace(0, 4, std::string_view("\0\0\1\0", 4));  // a length field of kBig
  const std::vector<std::string> elements = {big};
  ASSERT_TRUE(StreamWriteData(handle_, ToArray(elements)));
  ASSERT_TRUE(StreamWriteText(handle_, "wxyz"));
  ModelStream model;
  model.WriteArray(elements);
  model.Write("wxyz");
  ASSERT_TRUE(StreamSeekToStart(handle_));
  ASSERT_TRUE(StreamWriteText(handle_, model.data.substr(0, 4)));
  model.position = 4;
  std::vector<std::string> expected;
  ASSERT_TRUE(model.ReadArray(1, expected));
  ByteStringArray one(1);
  ASSERT_TRUE(StreamTakeData(handle_, one));
  EXPECT_EQ(Elements(one), expected);
}

// Writes over data held in several buffers: the bytes come out as from one
// buffer, whatever the write covers.
TEST(StreamSegmentsTest, OverwritesAcrossBuffers) {
  struct Row {
    const char* name;
    std::vector<std::string> first;   // written moving at 0
    std::size_t skip;                 // text written next, from 0, to move the position
    std::vector<std::string> second;  // then written moving at that position
    std::string text;                 // then written as text at that position
  };
  const std::string a = Filler(2 * kBig, 'a');
  const Row rows[] = {
      {"shorter large element over a larger one (copied)", {a, "x"}, 0, {Filler(kBig, 'b')}, ""},
      {"large element over part of a larger one (tail moved)",
       {a, "x"},
       0,
       {Filler(kBig + kBig / 2, 'b')},
       ""},
      {"write starting inside a large element", {a, "tail"}, 10, {"s", Filler(kBig, 'c')}, "!"},
      {"write inside one large element, both ends within it",
       {Filler(4 * kBig, 'a')},
       100,
       {Filler(kBig, 'c')},
       "zz"},
      {"write ending exactly at a buffer's start",
       {a, a},
       4 + 2 * kBig,
       {Filler(2 * kBig, 'e')},
       ""},
      {"write past the end of everything", {"s", a}, 8, {Filler(3 * kBig, 'f'), "end"}, "more"},
      {"text across several buffers", {"a", a, "b", a, "c"}, 3, {}, Filler(3 * kBig, 't')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const StreamHandle h = OpenMemoryStream();
    ModelStream model;
    ASSERT_TRUE(StreamWriteData(h, ToArray(row.first)));
    model.WriteArray(row.first);
    ASSERT_TRUE(StreamSeekToStart(h));
    model.position = 0;
    const std::string skip(row.skip, '-');
    ASSERT_TRUE(StreamWriteText(h, skip));
    model.Write(skip);
    ASSERT_TRUE(StreamWriteData(h, ToArray(row.second)));
    model.WriteArray(row.second);
    ASSERT_TRUE(StreamWriteText(h, row.text));
    model.Write(row.text);
    EXPECT_EQ(internal::StreamBytes(h), model.data);
    EXPECT_EQ(StreamAtEnd(h), model.position == model.data.size());

    // Read back after the partial overwrite: the skipped bytes as text, then
    // what the second write put down, then what is left of the first.
    ASSERT_TRUE(StreamSeekToStart(h));
    model.position = 0;
    ASSERT_TRUE(StreamWriteText(h, skip));
    model.Write(skip);
    ByteStringArray second(static_cast<int>(row.second.size()));
    ASSERT_TRUE(StreamTakeData(h, second));
    EXPECT_EQ(Elements(second), row.second);
    CloseStream(h);
  }
}

// Line reading where a line feed, a stop byte or a double-byte character
// meets the end of a buffer.
TEST(StreamSegmentsTest, LinesAcrossBufferEnds) {
  struct Row {
    const char* name;
    std::string endOfBig;  // the last bytes of the large element
    uint32_t nextLength;   // the next element's length; its low byte follows them
  };
  const Row rows[] = {
      {"lead byte, then line feed as second byte", "\n\xB0", 0x0A},
      {"lead byte, then zero byte", "\n\xB0", 0x100},
      {"lead byte, then 0x1A as second byte", "\n\xB0", 0x1A},
      {"carriage return, then line feed", "\n\r", 0x0A},
      {"line feed last", "\n", 0x0D},
      {"0x1A first", "\n", 0x1A},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string big = Filler(kBig, 'g');
    big.replace(big.size() - row.endOfBig.size(), row.endOfBig.size(), row.endOfBig);
    const std::vector<std::string> elements = {big, std::string(row.nextLength, 'h')};
    const StreamHandle h = OpenMemoryStream();
    ASSERT_TRUE(StreamWriteData(h, ToArray(elements)));
    ModelStream model;
    model.WriteArray(elements);
    // Past the first length field (whose zero bytes would stop line reading)
    // by writing its own bytes over it.
    ASSERT_TRUE(StreamSeekToStart(h));
    ASSERT_TRUE(StreamWriteText(h, model.data.substr(0, 4)));
    model.position = 4;
    // Stop-byte positions stop the loop, as in a header parser.
    for (int k = 0; k < 2000 && !StreamAtEnd(h, true); ++k) {
      ASSERT_EQ(StreamReadLine(h), model.ReadLine()) << "line " << k;
    }
    EXPECT_TRUE(model.position == model.data.size() || model.data[model.position] == 0 ||
                model.data[model.position] == 0x1A);
    EXPECT_EQ(StreamReadLine(h), model.ReadLine());
    CloseStream(h);
  }
}

// Random operations on a stream and on the one-buffer model side by side.
TEST(StreamSegmentsTest, MatchesOneBufferModel) {
  std::mt19937 random(20261211);
  const auto pick = [&random](std::size_t n) {
    return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, n - 1)(random));
  };
  const std::size_t sizes[] = {0, 1, 3, 40, kBig - 1, kBig, kBig + 1, 2 * kBig + 3};
  for (int round = 0; round < 6; ++round) {
    const StreamHandle h = OpenMemoryStream();
    ModelStream model;
    for (int step = 0; step < 60; ++step) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " step " << step);
      switch (pick(7)) {
        case 0:
        case 1: {
          std::vector<std::string> elements(pick(4));
          for (std::string& e : elements) {
            e = Filler(sizes[pick(std::size(sizes))], static_cast<char>('a' + pick(20)));
            if (!e.empty() && pick(3) == 0) e[pick(e.size())] = pick(2) ? '\0' : '\x1A';
            if (!e.empty() && pick(3) == 0) e.back() = '\xC1';  // a lead byte at a buffer's end
          }
          ByteStringArray array = ToArray(elements);
          ASSERT_TRUE(pick(4) == 0 ? StreamWriteData(h, array)
                                   : StreamWriteData(h, std::move(array)));
          model.WriteArray(elements);
          break;
        }
        case 2: {
          const std::string text = Filler(pick(3) == 0 ? kBig + pick(kBig) : pick(60), 't');
          ASSERT_TRUE(StreamWriteText(h, text));
          model.Write(text);
          break;
        }
        case 3: {
          // To any offset: rewriting the bytes before it changes nothing.
          ASSERT_TRUE(StreamSeekToStart(h));
          const std::string before = model.data.substr(0, pick(model.data.size() + 1));
          ASSERT_TRUE(StreamWriteText(h, before));
          model.position = before.size();
          break;
        }
        case 4: {
          const std::size_t count = pick(4);
          ByteStringArray array(static_cast<int>(count));
          std::vector<std::string> expected;
          const bool ok = model.ReadArray(count, expected);
          ASSERT_EQ(StreamReadData(h, array), ok);
          if (ok) {
            EXPECT_EQ(Elements(array), expected);
          }
          break;
        }
        case 5:
          for (int k = 0; k < 5; ++k) ASSERT_EQ(StreamReadLine(h), model.ReadLine());
          break;
        default: {
          const bool atEnd = model.position >= model.data.size();
          ASSERT_EQ(StreamAtEnd(h), atEnd);
          ASSERT_EQ(StreamAtEnd(h, true),
                    atEnd || model.data[model.position] == 0 || model.data[model.position] == 0x1A);
          break;
        }
      }
      ASSERT_EQ(internal::StreamBytes(h), model.data);
    }
    // The last read takes the whole rest from the start.
    ASSERT_TRUE(StreamSeekToStart(h));
    model.position = 0;
    std::vector<std::string> expected;
    ByteStringArray one(1);
    const bool ok = model.ReadArray(1, expected);
    ASSERT_EQ(StreamTakeData(h, one), ok);
    if (ok) {
      EXPECT_EQ(Elements(one), expected);
    }
    EXPECT_EQ(internal::StreamBytes(h), ok ? "" : model.data);
    CloseStream(h);
  }
}

}  // namespace
}  // namespace pellora
