#include "lookup/unescape.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "support/hex.h"
#include "values/text_ops.h"

namespace pellora {
namespace {

using namespace std::string_literals;

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

using testing::Hex;

void ExpectCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(Hex(UnescapeText(c->input)), Hex(c->expected)) << c->name;
  }
}

// 中 文 张 三 in code page 936.
const std::string kZhong = "\xD6\xD0";
const std::string kWen = "\xCE\xC4";

TEST(UnescapeText, DecodesJsonEscapes) {
  const Case cases[] = {
      {"empty", "", ""},
      {"plain-text-unchanged", "abc " + kZhong + kWen + " {}[]:,\"",
       "abc " + kZhong + kWen + " {}[]:,\""},
      {"unicode-escapes", "\\u4e2d\\u6587", kZhong + kWen},
      {"capital-hex-digits", "\\u4E2D", kZhong},
      {"euro-is-one-byte", "\\u20ac", "\x80"},
      {"json-quote-backslash-slash", "\\\"a\\\\b\\/c", "\"a\\b/c"},
      {"control-escapes", "\\b\\t\\n\\v\\f\\r", "\b\t\n\v\f\r"},
      {"escaped-backslash-before-u", "\\\\u4e2d", kZhong},
      {"capital-u-is-no-escape", "\\U0041", "U0041"},
      {"hex-escape", "\\x41\\x7a", "Az"},
      {"hex-escape-feeds-unescape", "\\x25u4e2d", kZhong},
      {"reply",
       "{\"code\":0,\"data\":{\"name\":\"\\u5f20\\u4e09\",\"bal\":\"12.50\",\"tips\":null},"
       "\"time\":\"2024-01-01\"}",
       "{\"code\":0,\"data\":{\"name\":\"\xD5\xC5\xC8\xFD\",\"bal\":\"12.50\",\"tips\":null},"
       "\"time\":\"2024-01-01\"}"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, ReadsOctalAndOtherEscapes) {
  const Case cases[] = {
      {"three-digits", "\\101\\060", "A0"},
      {"nul", "a\\0b", "a\0b"s},
      {"zero-before-eight", "\\08",
       "\0"
       "8"s},
      {"four-takes-two-digits", "\\400", " 0"},
      {"seven-seven-seven", "\\777", "?7"},
      {"at-most-three-digits", "\\1011", "A1"},
      {"eight-and-nine", "\\8\\9", "89"},
      {"any-other-character", "\\q\\'\\%41", "q'A"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, KeepsMalformedEscapes) {
  const Case cases[] = {
      {"hex-one-digit", "\\x4", "\\x4"},  {"hex-not-hex", "\\xZ1", "\\xZ1"},
      {"hex-at-end", "\\x", "\\x"},       {"hex-then-escape", "\\x\\x41", "\\xA"},
      {"unicode-short", "\\u12", "%u12"}, {"unicode-not-hex", "\\u12g4", "%u12g4"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, UnescapesPercentForms) {
  const Case cases[] = {
      {"two-hex", "%41%2F%2f", "A//"},
      {"four-hex", "%u4e2d%u6587", kZhong + kWen},
      {"high-code", "%A3", "?"},  // U+00A3 has no 936 form
      {"not-hex", "%zz", "%zz"},
      {"trailing-percent", "100%", "100%"},
      {"one-digit-at-end", "%4", "%4"},
      {"short-u", "%u12", "%u12"},
      {"capital-u-is-not-unicode", "%U4e2d", "%U4e2d"},
      {"percent-before-escape", "%%41", "%A"},
      {"percent-u-then-two-hex", "%u%41", "%uA"},
      {"decoded-percent-is-not-rescanned", "%2541", "%41"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, RoundTripsPlaceholdersAndLineBreaks) {
  const Case cases[] = {
      {"apostrophe", "it's", "it's"},
      {"escaped-apostrophe", "\\'", "'"},
      {"right-quote-in-input",
       "a\xA1\xAF"
       "b",
       "a'b"},
      {"right-quote-escape", "\\u2019", "'"},
      {"crlf-kept", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"placeholder-in-input", "a{$}b", "a\r\nb"},
      {"placeholder-from-escapes", "{\\x24}", "\r\n"},
      {"placeholder-split-by-brace", "{{$}", "{\r\n"},
      {"partial-placeholder-at-end", "a{$", "a{$"},
      {"escaped-crlf", "\\\r\n", "\r\n"},
      {"leading-lone-cr-dropped", "\rabc", "abc"},
      {"leading-cr-before-crlf", "\r\r\nx", "\r\nx"},
      {"only-a-cr", "\r", ""},
      // A lone line break comes back unchanged and the rest is still decoded.
      {"lone-lf", "\\u4e2d\nb", kZhong + "\nb"},
      {"reply-ending-in-lf", "{\"n\":\"\\u4e2d\"}\n", "{\"n\":\"" + kZhong + "\"}\n"},
      {"lone-cr-inside", "a\rb\\u4e2d", "a\rb" + kZhong},
      {"backslash-before-lf", "a\\\nb", "a\\\nb"},
      // A trailing unpaired backslash stays; paired ones decode.
      {"one-trailing-backslash", "\\u4e2d\\", kZhong + "\\"},
      {"three-trailing-backslashes", "ab\\\\\\", "ab\\\\"},
      {"two-trailing-backslashes", "ab\\\\", "ab\\"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, WorksOnWholeCharacters) {
  // 0x81 0x5C has a backslash as its second byte, 0x81 0x75 a "u".
  const Case cases[] = {
      {"second-byte-backslash-before-u", "\x81\x5Cu4e2d", "\x81\x5Cu4e2d"},
      {"second-byte-backslash-before-n", "\x81\x5Cn", "\x81\x5Cn"},
      {"second-byte-backslash-at-end", "a\x81\x5C", "a\x81\x5C"},
      {"escaped-double-byte-char",
       "\\\x81\x75"
       "4e2d",
       "\x81\x75"
       "4e2d"},
      {"second-byte-percent-free", "\x81\x75%41",
       "\x81\x75"
       "A"},
      {"invalid-lead-then-apostrophe", "\x81'", "?'"},
      {"invalid-lead-at-end", "a\xD6", "a?"},
      {"lead-then-backslash-escape",
       "\xD6\x5C"
       "u",
       "\xD6\x5C"
       "u"},
      {"nul-passes", "a\0b"s, "a\0b"s},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(UnescapeText, CharactersWithout936FormBecomeQuestionMarks) {
  const Case cases[] = {
      {"thai", "\\u0e01", "?"},
      {"invisible", "a\\u200b\\u00adb", "a??b"},
      {"surrogate-pair-is-one", "\\ud83d\\ude00!", "?!"},
      {"lone-high", "\\ud83dx", "?x"},
      {"lone-high-at-end", "\\ud83d", "?"},
      {"lone-low", "\\ude00", "?"},
      {"two-highs", "\\ud83d\\ud83d\\ude00", "??"},
      {"high-then-brace", "\\ud83d{$}", "?\r\n"},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

// A straightforward model of the decoding: whole-text replacements, ICU for
// the code page, and the script rules transcribed index by index.
class ReferenceModel {
 public:
  ReferenceModel() {
    UErrorCode status = U_ZERO_ERROR;
    converter_.reset(ucnv_open("windows-936-2000", &status));
    ucnv_setFromUCallBack(converter_.get(), WriteQuestionMark, nullptr, nullptr, nullptr, &status);
    EXPECT_TRUE(U_SUCCESS(status));
  }

  std::string Decode(std::string_view text) const {
    Text t = ReplaceSubtext(text, "\r\n", "{$}");
    if (!t.empty() && t[0] == '\r') t.erase(0, 1);
    t = ReplaceSubtext(t, "\\u", "%u");
    t = ReplaceSubtext(t, "'", "\xA1\xAF");
    std::u16string value = Unescape(Literal(ToUtf16(t)));
    Text r = FromUtf16(value);
    r = ReplaceSubtext(r, "\xA1\xAF", "'");
    return ReplaceSubtext(r, "{$}", "\r\n");
  }

 private:
  struct Closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };

  // Every character without a 936 form, an invisible one too, becomes "?".
  static void WriteQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                                UChar32, UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) return;
    *status = U_ZERO_ERROR;
    ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
  }

  static bool Hex(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  }
  static int Val(char16_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }
  static bool Oct(char16_t c) { return c >= '0' && c <= '7'; }

  std::u16string ToUtf16(std::string_view t) const {
    std::u16string out(t.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int n = ucnv_toUChars(converter_.get(), out.data(), static_cast<int>(out.size()),
                                t.data(), static_cast<int>(t.size()), &status);
    out.resize(n);
    return out;
  }

  std::string FromUtf16(const std::u16string& u) const {
    std::string out(u.size() * 2 + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int n = ucnv_fromUChars(converter_.get(), out.data(), static_cast<int>(out.size()),
                                  u.data(), static_cast<int>(u.size()), &status);
    out.resize(n);
    return out;
  }

  static std::u16string Literal(const std::u16string& s) {
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
      if (s[i] != '\\') {
        out += s[i++];
        continue;
      }
      if (i + 1 == s.size()) {
        out += u'\\';
        break;
      }
      const char16_t e = s[i + 1];
      const std::u16string_view singles = u"btnvfr";
      if (singles.find(e) != std::u16string_view::npos) {
        out += u"\b\t\n\v\f\r"[singles.find(e)];
        i += 2;
      } else if (e == 'x') {
        if (i + 3 < s.size() && Hex(s[i + 2]) && Hex(s[i + 3])) {
          out += static_cast<char16_t>(Val(s[i + 2]) * 16 + Val(s[i + 3]));
          i += 4;
        } else {
          out += u"\\x";
          i += 2;
        }
      } else if (e == '\r' || e == '\n') {
        out += u'\\';
        i += 1;
      } else if (Oct(e)) {
        // ZeroToThree OctalDigit OctalDigit | FourToSeven OctalDigit | OctalDigit
        std::size_t j = i + 2;
        int v = e - '0';
        if (j < s.size() && Oct(s[j])) {
          v = v * 8 + (s[j++] - '0');
          if (e <= '3' && j < s.size() && Oct(s[j])) v = v * 8 + (s[j++] - '0');
        }
        out += static_cast<char16_t>(v);
        i = j;
      } else {
        out += e;
        i += 2;
      }
    }
    return out;
  }

  // The script function unescape, step by step.
  static std::u16string Unescape(const std::u16string& s) {
    std::u16string r;
    const std::size_t len = s.size();
    for (std::size_t k = 0; k < len; ++k) {
      char16_t c = s[k];
      if (c == '%') {
        if (k + 6 <= len && s[k + 1] == 'u' && Hex(s[k + 2]) && Hex(s[k + 3]) && Hex(s[k + 4]) &&
            Hex(s[k + 5])) {
          c = static_cast<char16_t>(Val(s[k + 2]) << 12 | Val(s[k + 3]) << 8 | Val(s[k + 4]) << 4 |
                                    Val(s[k + 5]));
          k += 5;
        } else if (k + 3 <= len && Hex(s[k + 1]) && Hex(s[k + 2])) {
          c = static_cast<char16_t>(Val(s[k + 1]) << 4 | Val(s[k + 2]));
          k += 2;
        }
      }
      r += c;
    }
    return r;
  }

  std::unique_ptr<UConverter, Closer> converter_;
};

TEST(UnescapeText, MatchesReferenceModelOnRandomTexts) {
  // Pieces that meet in every way that matters: escape starts, hex and octal
  // digits, placeholders, line breaks, and whole double-byte characters with
  // a backslash or a "u" as their second byte.
  const std::string pieces[] = {"\\",
                                "\\",
                                "\\",
                                "u",
                                "U",
                                "x",
                                "%",
                                "%",
                                "'",
                                "{",
                                "$",
                                "}",
                                "{$}",
                                "\r",
                                "\n",
                                "\r\n",
                                "0",
                                "1",
                                "3",
                                "4",
                                "7",
                                "8",
                                "a",
                                "F",
                                "e",
                                "2",
                                "d",
                                "z",
                                " ",
                                "b",
                                "n",
                                "\xA1\xAF",
                                kZhong,
                                "\x81\x5C",
                                "\x81\x75",
                                "\\ud83d",
                                "\\ude00",
                                "\\u2019",
                                "%u0027",
                                "\\x25",
                                "\\x7b",
                                "\\xad",
                                std::string(1, '\0')};
  ReferenceModel model;
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(pieces)) - 1);
  std::uniform_int_distribution<int> length(0, 24);
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[pick(random)];
    const std::string expected = model.Decode(text);
    ASSERT_EQ(Hex(UnescapeText(text)), Hex(expected)) << "input: " << Hex(text);
  }
}

}  // namespace
}  // namespace pellora
