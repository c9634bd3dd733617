#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "values/text_ops.h"

namespace pellora {
namespace {

using namespace std::string_view_literals;

TEST(TextLengthTest, CountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("\xD6\xD0\xCE\xC4"), 4);
  EXPECT_EQ(BytesLength("a\0b"sv), 3);
  EXPECT_EQ(BytesLength({}), 0);
}

TEST(TextCutTest, LeftRightMidClamp) {
  struct Row {
    const char* name;
    std::string actual;
    std::string_view expected;
  };
  const Row rows[] = {
      {"left zero", TextLeft("abc", 0), ""},
      {"left negative", TextLeft("abc", INT_MIN), ""},
      {"left past end", TextLeft("abc", 5), "abc"},
      {"left INT_MAX", TextLeft("abc", INT_MAX), "abc"},
      {"left cuts a character", TextLeft("\xD6\xD0", 1), "\xD6"},
      {"right negative", TextRight("abc", -1), ""},
      {"right two", TextRight("abc", 2), "bc"},
      {"right INT_MAX", TextRight("abc", INT_MAX), "abc"},
      {"right cuts a character", TextRight("\xD6\xD0", 1), "\xD0"},
      {"mid clamps count", TextMid("abc", 3, 5), "c"},
      {"mid start past end", TextMid("abc", 4, 1), ""},
      {"mid start zero", TextMid("abc", 0, 2), ""},
      {"mid start not moved to 1", TextMid("abc", -1, 3), ""},
      {"mid zero count", TextMid("abc", 1, 0), ""},
      {"mid INT_MAX both", TextMid("abc", INT_MAX, INT_MAX), ""},
      {"mid INT_MAX count", TextMid("abc", 2, INT_MAX), "bc"},
      {"mid middle", TextMid("abcde", 2, 3), "bcd"},
      {"bytes left past end", BytesLeft("a\0b"sv, 10), "a\0b"sv},
      {"bytes left zero", BytesLeft("abc", 0), ""},
      {"bytes left keeps zero byte", BytesLeft("a\0b"sv, 2), "a\0"sv},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(ReplaceTextAtTest, Table) {
  struct Row {
    const char* name;
    std::string_view text;
    int start, length;
    std::string_view replacement, expected;
  };
  const Row rows[] = {
      {"deletes a header name", "Set-Cookie: a=1", 1, 12, "", "a=1"},
      {"deletes everything", "abc", 1, 7, "", ""},
      {"zero length inserts", "abc", 2, 0, "X", "aXbc"},
      {"negative length inserts", "abc", 2, -4, "X", "aXbc"},
      {"replaces in the middle", "abcde", 2, 3, "X", "aXe"},
      {"start below one is offset 0", "abc", -7, 1, "X", "Xbc"},
      {"INT_MIN start", "abc", INT_MIN, 1, "", "bc"},
      {"start past end appends", "abc", 9, 2, "X", "abcX"},
      {"INT_MAX start and length", "abc", INT_MAX, INT_MAX, "X", "abcX"},
      {"INT_MAX length", "abc", 2, INT_MAX, "", "a"},
      {"empty text", "", 1, 3, "X", "X"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ReplaceTextAt(row.text, row.start, row.length, row.replacement), row.expected);
  }
  EXPECT_EQ(ReplaceTextAt("abc", 1, 1), "bc");
}

TEST(TrimBothTest, Table) {
  struct Row {
    const char* name;
    std::string_view text, expected;
  };
  const Row rows[] = {
      {"spaces both sides", "  a b  ", "a b"},
      {"tab and line end stop", "\t a \r\n", "\t a \r\n"},
      {"full-width spaces", "\xA1\xA1 a\xA1\xA1 \xA1\xA1", "a"},
      {"blanks only", "  \xA1\xA1 ", ""},
      {"empty", "", ""},
      {"nothing to trim", "a", "a"},
      {"A1 A1 straddling two characters", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      {"full-width space after a character", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
      {"lone final A1 is no blank", "x\xA1\xA1\xA1", "x\xA1\xA1\xA1"},
      {"space as second byte", "\xB0\x20 ", "\xB0\x20"},
      {"space as second byte of A1", " \xA1\xA1\xA1 ", "\xA1 "},
      {"leading A1 with space", "\xA1\x20x", "\xA1\x20x"},
      {"lone lead byte after blanks", " \xA1", "\xA1"},
      {"odd high run before A1 A1", "a\xB0\xB0\xB0\xA1\xA1", "a\xB0\xB0\xB0\xA1\xA1"},
      {"even high run before A1 A1", "a\xB0\xB0\xA1\xA1", "a\xB0\xB0"},
      {"pair ending in A1 before space", "a\xB0\xB0\xB0\xA1 ", "a\xB0\xB0\xB0\xA1"},
      {"zero byte is no blank", " \0 "sv, "\0"sv},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TrimBoth(row.text), row.expected);
  }
}

// Steps over the whole text from the front, as the trimming rule reads.
std::string NaiveTrim(std::string_view t) {
  auto blankAt = [&](std::size_t i) -> std::size_t {  // blank's size or 0
    if (t[i] == ' ') return 1;
    if (t[i] == '\xA1' && i + 1 < t.size() && t[i + 1] == '\xA1') return 2;
    return 0;
  };
  std::size_t i = 0;
  while (i < t.size() && blankAt(i) != 0) i += blankAt(i);
  std::size_t end = i;
  for (std::size_t j = i; j < t.size();) {
    if (std::size_t b = blankAt(j)) {
      j += b;
    } else {
      j += (static_cast<unsigned char>(t[j]) >= 0x80 && j + 1 < t.size()) ? 2 : 1;
      end = j;
    }
  }
  return std::string(t.substr(i, end - i));
}

TEST(TrimBothTest, AgreesWithReferenceOnRandomTexts) {
  static constexpr char kAlphabet[] = {' ', '\xA1', '\xB0', 'a', '\t'};
  std::mt19937 rng(42);
  std::uniform_int_distribution<std::size_t> length(0, 12);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string text(length(rng), ' ');
    for (char& c : text) c = kAlphabet[pick(rng)];
    ASSERT_EQ(TrimBoth(text), NaiveTrim(text)) << "round " << round;
  }
}

TEST(ToLowerTest, FoldsAsciiCapitalsOnly) {
  struct Row {
    const char* name;
    std::string_view text, expected;
  };
  const Row rows[] = {
      {"header name", "Content-Type", "content-type"},
      {"second byte is a capital",
       "\x81\x41"
       "BC",
       "\x81\x41"
       "bc"},
      {"full-width capital unchanged", "\xA3\xC1", "\xA3\xC1"},
      {"lone final lead byte", "A\xC1", "a\xC1"},
      {"symbols and digits", "@[`{09Z", "@[`{09z"},
      {"empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ToLower(row.text), row.expected);
  }
}

TEST(BlankTest, SpacesAndZeroBytes) {
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-1), "");
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankBytes(-1), "");
  EXPECT_EQ(BlankBytes(INT_MIN), "");
  EXPECT_EQ(BlankBytes(2048), std::string(2048, '\0'));
  EXPECT_EQ(ToBytes(""), "");
  EXPECT_EQ(ToBytes("\xD6\xD0"), "\xD6\xD0");
}

}  // namespace
}  // namespace pellora
