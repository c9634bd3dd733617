#include "values/memory_stream.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

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

}  // namespace
}  // namespace pellora
