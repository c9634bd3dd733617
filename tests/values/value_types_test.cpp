#include "values/value_types.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace pellora {
namespace {

using namespace std::string_view_literals;

TEST(ConcatTest, JoinsPartsInOrder) {
  EXPECT_EQ(ConcatText({"", "", ""}), "");
  EXPECT_EQ(ConcatText({"a", {}, "b"}), "ab");
  EXPECT_EQ(ConcatText({"\xD6\xD0", "x", "\xCE\xC4"}), "\xD6\xD0x\xCE\xC4");
  EXPECT_EQ(ConcatBytes({"", ""}), "");
  // A zero byte is an ordinary byte of a byte string.
  EXPECT_EQ(ConcatBytes({"\0"sv, ""}), "\0"sv);
  EXPECT_EQ(ConcatBytes({"a\0"sv, "\0b"sv}), "a\0\0b"sv);
}

TEST(TextOrderTest, OrdersBytesUnsignedWithPrefixFirst) {
  struct Row {
    const char* name;
    std::string_view a, b;
    int expected;
  };
  const Row rows[] = {
      {"empty equals empty", "", "", 0},
      {"empty before text", "", "a", -1},
      {"text after empty", "a", "", 1},
      {"prefix first", "ab", "abc", -1},
      {"last byte decides", "abc", "abd", -1},
      {"no case folding", "ABC", "abc", -1},
      {"high byte after ascii", "\x80", "zzz", 1},
      {"high byte after ascii reversed", "~", "\xB0\xA1", -1},
      {"equal double-byte", "\xD5\xE6", "\xD5\xE6", 0},
      {"zero byte before one", "a\0"sv, "a\x01", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TextOrder(row.a, row.b), row.expected);
    EXPECT_EQ(TextOrder(row.b, row.a), -row.expected);
  }
}

TEST(BytesEqualTest, ComparesLengthAndBytes) {
  EXPECT_TRUE(BytesEqual("", ""));
  EXPECT_TRUE(BytesEqual("a\0b"sv, "a\0b"sv));
  EXPECT_FALSE(BytesEqual("a"sv, "a\0"sv));
  EXPECT_FALSE(BytesEqual("\0"sv, "\0\0"sv));
  EXPECT_FALSE(BytesEqual("ab", "ac"));
}

TEST(ByteStringArrayTest, NewArrayHoldsEmptyElements) {
  ByteStringArray seven(7);
  EXPECT_EQ(ArrayCount(seven), 7);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(seven[k], "");
  EXPECT_EQ(ArrayCount(ByteStringArray(-3)), 0);
  EXPECT_EQ(ArrayCount(ByteStringArray()), 0);
}

TEST(ByteStringArrayTest, ResizeKeepsLeadingElements) {
  ByteStringArray grow(3);
  grow[1] = "a";
  grow[2] = "b\0"sv;
  grow[3] = "c";
  ResizeArray(grow, 7);
  ASSERT_EQ(ArrayCount(grow), 7);
  EXPECT_EQ(grow[1], "a");
  EXPECT_EQ(grow[2], "b\0"sv);
  EXPECT_EQ(grow[3], "c");
  for (int k = 4; k <= 7; ++k) EXPECT_EQ(grow[k], "");

  ByteStringArray shrink(9);
  for (int k = 1; k <= 9; ++k) shrink[k] = std::string(1, char('0' + k));
  ResizeArray(shrink, 7);
  ASSERT_EQ(ArrayCount(shrink), 7);
  EXPECT_EQ(shrink[7], "7");
  // Growing again brings back empty elements, not the dropped ones.
  ResizeArray(shrink, 9);
  EXPECT_EQ(shrink[8], "");

  ResizeArray(shrink, -1);
  EXPECT_EQ(ArrayCount(shrink), 0);
}

TEST(ByteStringArrayDeathTest, OutOfRangeIndexStopsWithMessage) {
  ByteStringArray array(3);
  const ByteStringArray& constArray = array;
  EXPECT_DEATH((void)array[0], "index 0 is outside 1\\.\\.3");
  EXPECT_DEATH((void)array[4], "index 4 is outside 1\\.\\.3");
  EXPECT_DEATH((void)constArray[-1], "index -1 is outside 1\\.\\.3");
  EXPECT_DEATH((void)constArray[INT_MIN], "index -2147483648");
  ByteStringArray empty;
  EXPECT_DEATH((void)empty[1], "index 1 is outside 1\\.\\.0");
}

TEST(TruncateToWholeTest, TruncatesTowardZeroAndSaturates) {
  struct Row {
    const char* name;
    double value;
    int32_t expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {"positive fraction", 2.9, 2},
      {"negative fraction", -2.9, -2},
      {"small negative", -0.5, 0},
      {"whole", 7.0, 7},
      {"largest", 2147483647.0, INT32_MAX},
      {"above largest", 1e10, INT32_MAX},
      {"smallest", -2147483648.0, INT32_MIN},
      {"below smallest", -1e10, INT32_MIN},
      {"infinity", inf, INT32_MAX},
      {"minus infinity", -inf, INT32_MIN},
      {"not a number", std::nan(""), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TruncateToWhole(row.value), row.expected);
  }
}

}  // namespace
}  // namespace pellora
