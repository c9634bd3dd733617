#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <limits>

#include "values/text_ops.h"

namespace pellora {
namespace {

using namespace std::string_view_literals;

TEST(CompareTextTest, Table) {
  struct Row {
    const char* name;
    std::string_view a, b;
    bool caseSensitive;
    int expectedSign;
  };
  const Row rows[] = {
      {"scheme ignoring case", "HTTP://", "http://", false, 0},
      {"scheme case sensitive", "HTTP://", "http://", true, -1},
      {"empty", "", "", false, 0},
      {"prefix first", "ab", "ABC", false, -1},
      {"differing letter", "abc", "ABD", false, -1},
      {"full-width letters", "\xA3\xC1\xA3\xFA", "\xA3\xE1\xA3\xDA", false, 0},
      {"full-width letters exact", "\xA3\xC1", "\xA3\xE1", true, -1},
      {"Greek", "\xA6\xC1\xA6\xD8", "\xA6\xA1\xA6\xB8", false, 0},
      {"Cyrillic", "\xA7\xD1\xA7\xF1", "\xA7\xA1\xA7\xC1", false, 0},
      {"Roman numerals", "\xA2\xA1\xA2\xAA", "\xA2\xF1\xA2\xFA", false, 0},
      {"ASCII second bytes do not fold", "\x81\x41", "\x81\x61", false, -1},
      {"CJK equal", "\xD6\xD0\xCE\xC4", "\xD6\xD0\xCE\xC4", false, 0},
      {"CJK differ", "\xD6\xD0", "\xD6\xD1", false, -1},
      {"double-byte after ASCII", "\xD6\xD0", "z", false, 1},
      {"lone final lead byte", "a\xB0", "A\xB0", false, 0},
      {"lone lead before pair", "\xB0", "\xB0\xA1", false, -1},
      {"zero byte is ordinary", "a\0b"sv, "A\0B"sv, false, 0},
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(sign(CompareText(row.a, row.b, row.caseSensitive)), row.expectedSign);
    EXPECT_EQ(sign(CompareText(row.b, row.a, row.caseSensitive)), -row.expectedSign);
  }
}

TEST(ToTextTest, FromBytes) {
  EXPECT_EQ(ToText("a\0b"sv), "a");
  EXPECT_EQ(ToText(std::string("\0x", 2)), "");
  EXPECT_EQ(ToText(""sv), "");
  EXPECT_EQ(ToText(static_cast<const char*>(nullptr)), "");
  // A literal is bytes, not a truth value.
  EXPECT_EQ(ToText("x"), "x");
  EXPECT_EQ(ToText(std::string("\xD6\xD0")), "\xD6\xD0");
}

TEST(ToTextTest, FromWholeNumbersAndTruthValues) {
  EXPECT_EQ(ToText(0), "0");
  EXPECT_EQ(ToText(-7), "-7");
  EXPECT_EQ(ToText(INT_MAX), "2147483647");
  EXPECT_EQ(ToText(INT_MIN), "-2147483648");
  EXPECT_EQ(ToText(true), "\xD5\xE6");
  EXPECT_EQ(ToText(false), "\xBC\xD9");
}

TEST(ToTextTest, FromRealNumbers) {
  struct Row {
    const char* name;
    double value;
    std::string_view expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {"whole", 3.0, "3"},
      {"half", 0.5, "0.5"},
      {"two and a half", 2.5, "2.5"},
      {"negative", -12.25, "-12.25"},
      {"zero", 0.0, "0"},
      {"negative zero", -0.0, "-0"},
      {"thirteen digits", 1.0 / 3.0, "0.3333333333333"},
      {"rounds to thirteen", 2.0 / 3.0, "0.6666666666667"},
      {"below 1e13 fixed", 1e12, "1000000000000"},
      {"1e13 exponent", 1e13, "1e+13"},
      {"1e-4 fixed", 0.0001, "0.0001"},
      {"1e-5 exponent", 0.00001, "1e-05"},
      {"large exponent", 1.5e300, "1.5e+300"},
      {"infinity", inf, "inf"},
      {"minus infinity", -inf, "-inf"},
      {"not a number", std::nan(""), "nan"},
      {"negative not a number", -std::nan(""), "nan"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ToText(row.value), row.expected);
  }
}

TEST(ToNumberTest, Table) {
  struct Row {
    const char* name;
    std::string_view text;
    double expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {"port", "8080", 8080},
      {"blank then trailing text", " 81x", 81},
      {"empty", "", 0},
      {"letter first", "x80", 0},
      {"full-width digits", "\xA3\xB8\xA3\xB0", 80},
      {"full-width sign and point", "\xA3\xAD\xA3\xB1\xA3\xAE\xA3\xB5", -1.5},
      {"full-width plus",
       "\xA3\xAB"
       "2",
       2},
      {"full-width space first",
       "\xA1\xA1"
       "12",
       12},
      {"full-width exponent letter",
       "1\xA3\xC5"
       "2",
       100},
      {"full-width tilde stops", "3\xA1\xAB", 3},
      {"C white space", "\t\n\v\f\r 7", 7},
      {"exponent", "1e3", 1000},
      {"negative exponent", "25E-1", 2.5},
      {"bare e ignored", "1e", 1},
      {"e with sign only ignored", "1e+", 1},
      {"leading point", ".5", 0.5},
      {"trailing point", "5.", 5},
      {"point alone", ".", 0},
      {"sign alone", "-", 0},
      {"plus sign", "+3", 3},
      {"comma is no point", "1,5", 1},
      {"hexadecimal not read", "0x10", 0},
      {"inf not read", "inf", 0},
      {"nan not read", "nan", 0},
      {"overflow", "1e400", inf},
      {"negative overflow", "-1e400", -inf},
      {"underflow", "1e-400", 0},
      {"lone lead byte", "\xA3", 0},
      {"digits then lone lead byte", "12\xA3", 12},
      {"other double-byte stops",
       "4\xD6\xD0"
       "5",
       4},
      {"zero byte stops",
       "4\0"
       "5"sv,
       4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ToNumber(row.text), row.expected);
  }
}

TEST(ToNumberTest, IgnoresProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
    GTEST_SKIP() << "no German locale installed";
  EXPECT_EQ(ToNumber("2.5"), 2.5);
  EXPECT_EQ(ToText(2.5), "2.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace pellora
