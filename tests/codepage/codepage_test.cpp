#include "codepage/codepage.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>
#include <string_view>

#include "support/hex.h"
#include "codepage/gbk_table.h"

namespace pellora {
namespace {

using namespace std::string_literals;

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

using testing::Hex;

TEST(Utf8ToAnsi, ConvertsByteForByte) {
  const Case cases[] = {
      {"empty", "", ""},
      {"ascii", "GET /10086/1380000 ~\x7F", "GET /10086/1380000 ~\x7F"},
      {"two-chinese", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {"euro-is-one-byte", "\xE2\x82\xAC", "\x80"},
      {"middle-dot-and-right-quote", "\xC2\xB7\xE2\x80\x99", "\xA1\xA4\xA1\xAF"},
      {"zero-byte-kept", "a\0b"s, "a\0b"s},
      {"no-936-form", "\xE0\xB8\x81|\xC2\x80", "?|?"},
      {"invisible-chars",
       "a\xE2\x80\x8B\xC2\xAD\xEF\xBB\xBF"
       "b",
       "a???b"},
      {"beyond-bmp-is-one-char", "\xF0\x9F\x98\x80x", "?x"},
      {"stray-continuation", "\x80\xBF", "??"},
      {"cut-off-at-end", "a\xE4\xB8", "a?"},
      {"cut-off-before-ascii", "\xE4\xB8\x41", "?A"},
      {"overlong", "\xC0\xAF", "??"},
      {"encoded-surrogate", "\xED\xA0\x80", "???"},
      {"byte-never-in-utf8", "\xF5\xFF", "??"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Utf8ToAnsi(c.input)), Hex(c.expected)) << c.name;
  }
}

TEST(Big5ToGbk, ConvertsAndSimplifiesByteForByte) {
  const Case cases[] = {
      {"empty", "", ""},
      {"ascii", "name=\\ ~\x7F", "name=\\ ~\x7F"},
      {"two-chinese", "\xA4\xA4\xA4\xE5", "\xD6\xD0\xCE\xC4"},
      {"traditional-to-simplified", "\xB8\xB9\xBD\x58", "\xBA\xC5\xC2\xEB"},
      {"guo", "\xB0\xEA", "\xB9\xFA"},
      {"second-byte-is-backslash", "\xA5\x5C", "\xB9\xA6"},  // 功
      {"euro", "\xA3\xE1", "\x80"},
      {"no-936-form", "\xA1\x45|\xA1\x5A", "?|?"},
      {"unassigned-pair", "\xA3\xC0x", "?x"},
      {"lead-then-non-trail", "\xA4\x30", "?0"},
      {"lead-at-end", "a\xA4", "a?"},
      {"lone-high-bytes", "\x80\xFF", "??"},
      {"user-defined-area", "\xFA\x40", "\xAA\xA1"},
      {"zero-byte-kept", "\xA4\xA4\0\xA4\xA4"s, "\xD6\xD0\0\xD6\xD0"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Big5ToGbk(c.input)), Hex(c.expected)) << c.name;
  }
}

TEST(Big5ToGbk, MapsCharacterByCharacterWithoutPhraseRules) {
  // 乾坤: run over the whole word, the transliterator's phrase rules keep 乾;
  // character by character it becomes 干, in the word as on its own.
  EXPECT_EQ(Hex(Big5ToGbk("\xB0\xAE")), Hex("\xB8\xC9"));
  EXPECT_EQ(Hex(Big5ToGbk("\xB0\xAE\xA9\x5B")), Hex(Big5ToGbk("\xB0\xAE") + Big5ToGbk("\xA9\x5B")));
}

TEST(AnsiToUtf8, ConvertsByteForByte) {
  const Case cases[] = {
      {"empty", "", ""},
      {"ascii", "a\\u0041\x7F", "a\\u0041\x7F"},
      {"two-chinese", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"euro", "\x80", "\xE2\x82\xAC"},
      {"right-quote", "\xA1\xAF", "\xE2\x80\x99"},
      {"second-byte-backslash-is-no-backslash", "\x81\x5C", "\xE4\xB9\x97"},
      {"user-defined-area", "\xAA\xA1", "\xEE\x80\x80"},
      {"ff", "\xFF", "\xEF\xA3\xB5"},
      {"lead-then-non-trail", "\x81\x30", "?0"},
      {"lead-then-7f", "\xA1\x7F", "?\x7F"},
      {"lead-at-end", "a\xD6", "a?"},
      {"zero-byte-kept", "\xD6\xD0\0"s, "\xE4\xB8\xAD\0"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(AnsiToUtf8(c.input)), Hex(c.expected)) << c.name;
  }
}

// Every two-byte character of code page 936 goes to UTF-8 and back unchanged,
// apart from the few that Windows itself maps one way only.
TEST(AnsiToUtf8, EveryDoubleByteCharacterRoundTrips) {
  int checked = 0;
  std::string oneWay;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = AnsiToUtf8(gbk);
      ASSERT_EQ(utf8.find('?'), std::string::npos) << Hex(gbk);
      ++checked;
      if (Utf8ToAnsi(utf8) != gbk) oneWay += Hex(gbk) + "| ";
    }
  }
  EXPECT_EQ(checked, 126 * 190);
  EXPECT_EQ(oneWay, "") << "pairs that do not come back";
}

// The table-driven decoder and ICU's converter agree on every pair.
TEST(GbkTable, AgreesWithIcuOnEveryPair) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* icu = ucnv_open("windows-936-2000", &status);
  ASSERT_TRUE(U_SUCCESS(status));
  const GbkTable& table = GbkTable::Get();
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar expected[4];
      status = U_ZERO_ERROR;
      ASSERT_EQ(ucnv_toUChars(icu, expected, 4, bytes, 2, &status), 1);
      char16_t unit = 0;
      ASSERT_EQ(table.Decode(std::string_view(bytes, 2), 0, unit), 2);
      ASSERT_EQ(unit, expected[0]) << Hex(std::string_view(bytes, 2));
    }
  }
  ucnv_close(icu);
}

TEST(GbkTable, EncodesUnitsAndRejectsSurrogates) {
  const GbkTable& table = GbkTable::Get();
  EXPECT_EQ(table.Encode(u'A'), 'A');
  EXPECT_EQ(table.Encode(u'\0'), 0);
  EXPECT_EQ(table.Encode(0x4E2D), 0xD6D0);
  EXPECT_EQ(table.Encode(0x20AC), 0x80);
  EXPECT_EQ(table.Encode(0xD800), '?');
  EXPECT_EQ(table.Encode(0xDFFF), '?');
  EXPECT_EQ(table.Encode(0x0E01), '?');
}

// The results do not follow ICU's default code page (which follows the
// machine's locale).
TEST(Conversions, IgnoreTheDefaultCodePage) {
  const std::string before = ucnv_getDefaultName();
  ucnv_setDefaultName("ISO-8859-1");
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(Big5ToGbk("\xB8\xB9"), "\xBA\xC5");
  EXPECT_EQ(AnsiToUtf8("\xD6\xD0"), "\xE4\xB8\xAD");
  ucnv_setDefaultName(before.c_str());
}

TEST(Utf8ToAnsi, LongMixedTextMatchesPieceByPiece) {
  // Longer than the conversion's pivot buffer, with invalid bytes spread over
  // it: the result is the concatenation of the pieces' results.
  const std::string piece = "ab\xE4\xB8\xAD\xF0\x9F\x98\x80\xC2\xB7\x80z";
  std::string input;
  std::string expected;
  for (int k = 0; k < 5000; ++k) {
    input += piece;
    expected += Utf8ToAnsi(piece);
  }
  EXPECT_EQ(Utf8ToAnsi(input), expected);
}

}  // namespace
}  // namespace pellora
