#include "lookup/text_between.h"

#include <gtest/gtest.h>

#include <string>

namespace pellora {
namespace {

struct BetweenCase {
  const char* name;
  std::string source;
  std::string startMarker;
  std::string endMarker;
  int start;
  bool caseSensitive;
  std::string expected;
};

// "#引号" in code page 936.
const std::string kQuote = "#\xD2\xFD\xBA\xC5";

TEST(TextBetween, CutsBetweenFirstMarkers) {
  const BetweenCase cases[] = {
      {"first-start-first-end-after", "a[x]b[y]", "[", "]", 0, false, "x"},
      {"end-only-before-start", "]a[", "[", "]", 0, false, ""},
      {"start-marker-ends-source", "abc[", "[", "]", 0, false, ""},
      {"adjacent-markers", "a[]b", "[", "]", 0, false, ""},
      {"start-marker-missing", "abc]", "[", "]", 0, false, ""},
      {"inner-start-marker-kept", "[x[y]", "[", "]", 0, false, "x[y"},
      {"multi-byte-markers", "<b>bold</b>", "<b>", "</b>", 0, false, "bold"},
      {"empty-start-marker", "abc]d", "", "]", 0, false, "abc"},
      {"empty-end-marker", "a[x]", "[", "", 0, false, ""},
      {"empty-source", "", "[", "]", 0, false, ""},
      {"empty-everything", "", "", "", 0, false, ""},
      {"ignores-case-by-default", "{\"name\":\"Li\"}", "\"NAME\":\"", "\"", 0, false, "Li"},
      {"case-sensitive-on-request", "{\"name\":\"Li\"}", "\"NAME\":\"", "\"", 0, true, ""},
      {"case-sensitive-exact-match", "{\"name\":\"Li\"}", "\"name\":\"", "\"", 0, true, "Li"},
      {"chinese-value", "\"name\":\"\xD5\xC5\xC8\xFD\",", "\"name\":\"", "\"", 0, false,
       "\xD5\xC5\xC8\xFD"},
      {"quote-placeholder", "name=\"Tom\" age=3", "name=" + kQuote, kQuote, 0, false, "Tom"},
      {"placeholder-case-sensitive", "NAME=\"Tom\"", "NAME=" + kQuote, kQuote, 0, true, "Tom"},
      {"placeholder-twice", "k=\"\"v\"\"", "k=" + kQuote + kQuote, kQuote, 0, false, "v"},
      {"negative-start-from-beginning", "[a][b]", "[", "]", -5, false, "a"},
      {"start-skips-first", "[a][b]", "[", "]", 2, false, "b"},
      // The start is applied again to what follows the start marker.
      {"start-reapplied-to-rest", "[a]x[bc]", "[", "]", 5, false, ""},
      {"start-reapplied-finds-later-end", "xxxx[ab]cd]", "[", "]", 5, false, "ab]cd"},
      {"start-past-end", "[a]", "[", "]", 9, false, ""},
      // 0x81 0x5B is one character whose second byte is "[".
      {"no-match-inside-double-byte", "\x81[x]", "[", "]", 0, false, ""},
      {"match-after-double-byte", "\x81[[x]", "[", "]", 0, false, "x"},
      {"end-not-inside-double-byte", "[\x81]x]", "[", "]", 0, false, "\x81]x"},
      {"full-width-letters-do-not-fold", "\xA3\xC1=1;", "\xA3\xE1=", ";", 0, false, ""},
  };
  for (const BetweenCase& c : cases) {
    EXPECT_EQ(TextBetween(c.source, c.startMarker, c.endMarker, c.start, c.caseSensitive),
              c.expected)
        << c.name;
  }
}

TEST(TextBetween, DefaultsSearchFromTheBeginningIgnoringCase) {
  EXPECT_EQ(TextBetween("X-A: 1\r\nx-b: 2\r\n", "X-B: ", "\r\n"), "2");
}

struct BeforeCase {
  const char* name;
  std::string source;
  std::string marker;
  int start;
  bool ignoreCase;
  std::string expected;
};

TEST(TextBefore, CutsUpToFirstMarker) {
  const BeforeCase cases[] = {
      {"cookie-pair", "k=v; path=/", ";", 0, false, "k=v"},
      {"no-marker-gives-empty", "k=v", ";", 0, false, ""},
      {"marker-first", ";k", ";", 0, false, ""},
      {"exact-case-by-default", "a=1; Path=/", "; path", 0, false, ""},
      {"ignore-case-on-request", "a=1; Path=/", "; path", 0, true, "a=1"},
      {"cut-from-first-byte-not-start", "a;b;c", ";", 3, false, "a;b"},
      {"zero-start", "a;b", ";", 0, false, "a"},
      {"negative-start", "a;b", ";", -3, false, "a"},
      {"start-past-end", "a;b", ";", 4, false, ""},
      {"empty-marker", "abc", "", 0, false, ""},
      {"empty-source", "", ";", 0, false, ""},
      {"no-match-inside-double-byte", "\x81[a[b", "[", 0, false, "\x81[a"},
      {"placeholder-not-known", "a\"b", kQuote, 0, false, ""},
  };
  for (const BeforeCase& c : cases) {
    EXPECT_EQ(TextBefore(c.source, c.marker, c.start, c.ignoreCase), c.expected) << c.name;
  }
  EXPECT_EQ(TextBefore("k=v; path=/", ";"), "k=v");
}

}  // namespace
}  // namespace pellora
