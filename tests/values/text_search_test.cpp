#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>

#include "values/text_ops.h"

namespace pellora {
namespace {

using namespace std::string_view_literals;

// Straightforward transcriptions of the stepping rules, used as references.
bool SameBytes(std::string_view text, std::size_t at, std::string_view sub, bool ignoreCase) {
  for (std::size_t k = 0; k < sub.size(); ++k) {
    unsigned char a = static_cast<unsigned char>(text[at + k]);
    unsigned char b = static_cast<unsigned char>(sub[k]);
    if (ignoreCase) {
      if (a >= 'A' && a <= 'Z') a += 32;
      if (b >= 'A' && b <= 'Z') b += 32;
    }
    if (a != b) return false;
  }
  return true;
}

std::size_t CharSize(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1;
}

int NaiveFind(std::string_view text, std::string_view sub, int start, bool ignoreCase) {
  const int64_t s = start <= 1 ? 0 : int64_t{start} - 1;
  if (s >= static_cast<int64_t>(text.size())) return -1;
  if (sub.empty()) return 1;
  for (std::size_t c = static_cast<std::size_t>(s);
       c < text.size() && text.size() - c >= sub.size(); c += CharSize(text, c)) {
    if (SameBytes(text, c, sub, ignoreCase)) return static_cast<int>(c + 1);
  }
  return -1;
}

std::string NaiveReplace(std::string_view text, std::string_view sub, std::string_view replacement,
                         int start, std::optional<int> count, bool caseSensitive) {
  const int64_t s = start <= 1 ? 0 : int64_t{start} - 1;
  if (text.empty() || sub.empty() || s >= static_cast<int64_t>(text.size()) ||
      (count && *count <= 0))
    return std::string(text);
  std::string out(text.substr(0, static_cast<std::size_t>(s)));
  std::size_t pos = static_cast<std::size_t>(s);
  int done = 0;
  while (text.size() - pos >= sub.size()) {
    if (SameBytes(text, pos, sub, !caseSensitive)) {
      out += replacement;
      pos += sub.size();
      if (count && ++done == *count) break;
    } else {
      const std::size_t step = std::min(CharSize(text, pos), text.size() - pos);
      out += text.substr(pos, step);
      pos += step;
    }
  }
  out += text.substr(pos);
  return out;
}

struct FindRow {
  const char* name;
  std::string_view text;
  std::string_view sub;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindTextTest, Table) {
  const FindRow rows[] = {
      {"last byte", "abc", "c", 1, false, 3},
      {"start past end", "abc", "c", 4, false, -1},
      {"start 0 is first byte", "abc", "c", 0, false, 3},
      {"negative start is first byte", "abc", "c", -5, false, 3},
      {"INT_MIN start", "abc", "a", INT_MIN, false, 1},
      {"INT_MAX start", "abc", "a", INT_MAX, false, -1},
      {"counted from whole text", "abcabc", "c", 4, false, 6},
      {"start on the match", "abcabc", "abc", 4, false, 4},
      {"empty sub", "abc", "", 2, false, 1},
      {"empty sub past end", "abc", "", 4, false, -1},
      {"empty in empty", "", "", 1, false, -1},
      {"sub longer than text", "ab", "abc", 1, false, -1},
      {"needs bytes left after start", "abcab", "abc", 2, false, -1},
      {"ignore case", "aBc", "b", 1, true, 2},
      {"case sensitive", "aBc", "b", 1, false, -1},
      {"ignore case whole run", "xHTTP://", "http://", 1, true, 2},
      {"full-width letters do not fold", "\xA3\xC1", "\xA3\xE1", 1, true, -1},
      {"second byte folds with ignore case", "\x81\x41", "\x81\x61", 1, true, 1},
      {"match at second byte skipped",
       "\x81\x41"
       "A",
       "A", 1, false, 3},
      {"folded match at second byte skipped",
       "\x81\x61"
       "A",
       "a", 1, true, 3},
      {"only at second byte", "\x81\x41", "A", 1, false, -1},
      {"across two characters", "\xD6\xD0\xCE\xC4", "\xD0\xCE", 1, false, -1},
      {"whole second character", "\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, false, 3},
      {"start inside character steps from there", "\xD6\xD0\xCE\xC4", "\xD0\xCE", 2, false, 2},
      {"start inside character shifts pairs", "\xD6\xD0\xCE\xC4", "\xCE\xC4", 2, false, -1},
      {"odd high run before candidate",
       "x\xB0\xB0\xB0"
       "A",
       "A", 1, false, -1},
      {"even high run before candidate",
       "x\xB0\xB0\xB0"
       "A",
       "A", 3, false, 5},
      {"later match at a boundary", "\xC0\xB0\x41\xB0\x41", "\xB0\x41", 1, false, 4},
      {"lone final lead byte found", "ab\xB0", "\xB0", 1, false, 3},
      {"lone final lead byte not extended", "ab\xB0", "\xB0\xA1", 1, false, -1},
      {"ends with lone lead byte", "ab\xB0", "b\xB0", 1, false, 2},
      {"zero bytes are ordinary", "a\0b"sv, "b", 1, false, 3},
      {"zero byte in sub", "a\0b"sv, "\0b"sv, 1, false, 2},
  };
  for (const FindRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindText(row.text, row.sub, row.start, row.ignoreCase), row.expected);
    EXPECT_EQ(NaiveFind(row.text, row.sub, row.start, row.ignoreCase), row.expected);
  }
}

// A long periodic needle that matches at every second byte of a run of
// double-byte characters: every hit is inside a character, and the search
// must still find the one real match after them. The second fixture has
// letters as second bytes, so that the case-folding search is exercised too.
TEST(FindTextTest, ManyMatchesInsideCharacters) {
  struct Fixture {
    const char* name;
    std::string_view pair;  // lead byte, second byte
    bool ignoreCase;
  };
  const Fixture fixtures[] = {
      {"high second bytes", "\xC0\xB0", false},
      {"high second bytes ignoring case", "\xC0\xB0", true},
      {"letter second bytes ignoring case",
       "\xC0"
       "a",
       true},
  };
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.name);
    std::string needle;
    for (int k = 0; k < 40; ++k) needle += std::string{f.pair[1], f.pair[0]};
    needle += f.pair[1];
    std::string text;
    for (int k = 0; k < 20000; ++k) text += f.pair;
    const int realMatch = static_cast<int>(text.size()) + 2;
    text += "x" + needle;
    EXPECT_EQ(FindText(text, needle, 1, f.ignoreCase), realMatch);
    EXPECT_EQ(FindText(text, needle, 2, f.ignoreCase), 2);
    EXPECT_EQ(FindText(text, needle, 3, f.ignoreCase), realMatch);
    EXPECT_EQ(ReplaceSubtext(text, needle, "!", 1, std::nullopt, !f.ignoreCase),
              text.substr(0, static_cast<std::size_t>(realMatch) - 1) + "!");
  }
  // Folding: an upper-case needle finds the lower-case text.
  std::string text;
  std::string needle;
  std::string lowerNeedle;
  for (int k = 0; k < 20000; ++k)
    text +=
        "\xC0"
        "a";
  for (int k = 0; k < 40; ++k) {
    needle += "A\xC0";
    lowerNeedle += "a\xC0";
  }
  needle += "A";
  lowerNeedle += "a";
  text += "x" + lowerNeedle;
  EXPECT_EQ(FindText(text, needle, 1, true), 40002);
  EXPECT_EQ(FindText(text, needle, 1, false), -1);
}

// Random texts over a small alphabet of ASCII letters and GBK lead and second
// bytes, so that matches straddle character boundaries often.
std::string RandomGbkish(std::mt19937& rng, std::size_t maxLength) {
  static constexpr char kAlphabet[] = {'a', 'A', 'b', '\x41', '\x61', '\x81', '\xB0', '\xA1', ' '};
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
  std::string s(length(rng), ' ');
  for (char& c : s) c = kAlphabet[pick(rng)];
  return s;
}

TEST(FindTextTest, AgreesWithReferenceOnRandomTexts) {
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> startPick(-2, 40);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomGbkish(rng, 40);
    const std::string sub = RandomGbkish(rng, 4);
    const int start = startPick(rng);
    const bool ignoreCase = (round & 1) != 0;
    ASSERT_EQ(FindText(text, sub, start, ignoreCase), NaiveFind(text, sub, start, ignoreCase))
        << "round " << round;
  }
}

struct ReplaceRow {
  const char* name;
  std::string_view text, sub, replacement;
  int start;
  std::optional<int> count;
  bool caseSensitive;
  std::string_view expected;
};

TEST(ReplaceSubtextTest, Table) {
  const std::nullopt_t all = std::nullopt;
  const ReplaceRow rows[] = {
      {"left to right without overlap", "aaa", "aa", "b", 1, all, true, "ba"},
      {"replacement not rescanned", "aaaa", "aa", "a", 1, all, true, "aa"},
      {"growing replacement", "ab", "a", "aa", 1, all, true, "aab"},
      {"count one", "abab", "ab", "x", 1, 1, true, "xab"},
      {"count above occurrences", "abab", "ab", "x", 1, 5, true, "xx"},
      {"count zero changes nothing", "abab", "ab", "x", 1, 0, true, "abab"},
      {"negative count changes nothing", "abab", "ab", "x", 1, -1, true, "abab"},
      {"deletes without replacement", "a\r\nb", "\r\n", "", 1, all, true, "ab"},
      {"empty sub", "abc", "", "x", 1, all, true, "abc"},
      {"empty text", "", "a", "x", 1, all, true, ""},
      {"start skips earlier bytes", "abab", "ab", "x", 3, all, true, "abx"},
      {"start past end", "abab", "ab", "x", 5, all, true, "abab"},
      {"INT_MIN start", "abab", "ab", "x", INT_MIN, all, true, "xx"},
      {"INT_MAX start", "abab", "ab", "x", INT_MAX, all, true, "abab"},
      {"case folding", "ABab", "ab", "x", 1, all, false, "xx"},
      {"case sensitive", "ABab", "ab", "x", 1, all, true, "ABx"},
      {"not across characters", "\xD6\xD0\xCE\xC4", "\xD0\xCE", "x", 1, all, true,
       "\xD6\xD0\xCE\xC4"},
      {"not at second byte",
       "\x81\x41"
       "A",
       "A", "x", 1, all, true, "\x81\x41x"},
      {"restarts at match end", "\xB0\xA1\xA1", "\xB0", "", 1, all, true, "\xA1\xA1"},
      {"pairs after match", "\xB0\xA1\xA1", "\xA1", "x", 1, all, true, "\xB0\xA1x"},
      {"lone final lead byte", "a\xB0", "\xB0", "x", 1, all, true, "ax"},
      {"lone final lead byte kept", "a\xB0", "b", "x", 1, all, true, "a\xB0"},
  };
  for (const ReplaceRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(
        ReplaceSubtext(row.text, row.sub, row.replacement, row.start, row.count, row.caseSensitive),
        row.expected);
    EXPECT_EQ(
        NaiveReplace(row.text, row.sub, row.replacement, row.start, row.count, row.caseSensitive),
        row.expected);
  }
  // Left-out arguments: no replacement, from the first byte, every occurrence.
  EXPECT_EQ(ReplaceSubtext("a-b-c", "-"), "abc");
}

TEST(ReplaceSubtextTest, AgreesWithReferenceOnRandomTexts) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> startPick(-1, 30);
  std::uniform_int_distribution<int> countPick(-1, 4);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomGbkish(rng, 30);
    const std::string sub = RandomGbkish(rng, 3);
    const std::string replacement = RandomGbkish(rng, 3);
    const int start = startPick(rng);
    const int c = countPick(rng);
    const std::optional<int> count = c == 4 ? std::nullopt : std::optional<int>(c);
    const bool caseSensitive = (round & 1) != 0;
    ASSERT_EQ(ReplaceSubtext(text, sub, replacement, start, count, caseSensitive),
              NaiveReplace(text, sub, replacement, start, count, caseSensitive))
        << "round " << round;
  }
}

TEST(ReplaceSubbytesTest, Table) {
  const std::nullopt_t all = std::nullopt;
  struct Row {
    const char* name;
    std::string_view bytes, run, replacement;
    int start;
    std::optional<int> count;
    std::string_view expected;
  };
  const Row rows[] = {
      {"first carriage return", "\r\n\r", "\r", "", 1, 1, "\n\r"},
      {"every occurrence", "\r\n\r", "\r", "", 1, all, "\n"},
      {"zero bytes", "a\0b\0"sv, "\0"sv, "-", 1, all, "a-b-"},
      {"every offset is a candidate", "\xB0\xA1\xA1", "\xA1\xA1", "x", 1, all, "\xB0x"},
      {"no overlap", "aaaa", "aa", "a", 1, all, "aa"},
      {"start", "abab", "ab", "x", 2, all, "abx"},
      {"start past end", "ab", "b", "x", 3, all, "ab"},
      {"count zero", "ab", "b", "x", 1, 0, "ab"},
      {"negative count", "ab", "b", "x", 1, -3, "ab"},
      {"empty run", "ab", "", "x", 1, all, "ab"},
      {"empty bytes", "", "a", "x", 1, all, ""},
      {"run at the very end", "xyz", "yz", "!", 1, all, "x!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ReplaceSubbytes(row.bytes, row.run, row.replacement, row.start, row.count),
              row.expected);
  }
}

}  // namespace
}  // namespace pellora
