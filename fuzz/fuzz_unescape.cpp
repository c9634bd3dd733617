// Fuzzes UnescapeText on any bytes: it never fails, a text without anything
// to decode comes back unchanged (line breaks included), and percent and \u
// escapes of ASCII characters decode to those characters.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_check.h"
#include "lookup/unescape.h"

namespace {

// Printable ASCII with nothing for the decoder to act on.
bool Inert(const std::string& s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7E || c == '\\' || c == '\'' || c == '%') return false;
  }
  return s.find("{$}") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange<int>(0, 2);
  std::string text = in.ConsumeRemainingBytesAsString();
  const std::string decoded = pellora::UnescapeText(text);

  if (mode == 0 && Inert(text)) {
    FUZZ_CHECK(decoded == text, "a text with nothing to decode changed");
  }
  if (mode == 1 && Inert(text)) {
    // Each inert character written as %XX and as \u00XX comes back as itself.
    std::string percent, unicode;
    for (unsigned char c : text) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      percent += buf;
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      unicode += buf;
    }
    FUZZ_CHECK(pellora::UnescapeText(percent) == text, "%XX escapes of ASCII");
    FUZZ_CHECK(pellora::UnescapeText(unicode) == text, "\\u escapes of ASCII");
  }
  if (mode == 2 && Inert(text)) {
    // Line breaks come back as they were: CR LF pairs, and lone line feeds
    // and carriage returns after the first byte too.
    for (const char* lineBreak : {"\r\n", "\n", "\r"}) {
      const std::string joined = "x" + text + lineBreak + text;
      FUZZ_CHECK(pellora::UnescapeText(joined) == joined, "a line break changed the text");
    }
  }
  return 0;
}
