// Fuzzes the gathering of cookie pairs from arbitrary reply headers against a
// reference: the header text ends at its first zero byte and at its first
// 0x1A byte (wherever it stands), and the rest is read line by line as the
// memory stream does: a line ends at a line feed that is not the second byte
// of a double-byte character and loses one trailing carriage return.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reference_ops.h"
#include "web/request_text.h"

namespace {

std::string RefGather(std::string_view headers) {
  headers = headers.substr(0, headers.find('\0'));
  headers = headers.substr(0, headers.find('\x1a'));
  std::string gathered;
  size_t i = 0;
  bool ended = false;
  while (i < headers.size() && !ended) {
    std::string line;
    while (i < headers.size()) {
      const unsigned char c = static_cast<unsigned char>(headers[i]);
      if (c >= 0x80 && i + 1 < headers.size() && headers[i + 1] != '\0') {
        line.append(headers.substr(i, 2));
        i += 2;
        continue;
      }
      if (c == '\n') {
        ++i;
        break;
      }
      if (c == 0 || c == 0x1A) {
        ended = true;
        break;
      }
      line += static_cast<char>(c);
      ++i;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (ref::FindText(line, "Set-Cookie: ", 1, true) <= 0) continue;
    line = ref::ReplaceTextAt(line, 1, 12, "");
    const int semicolon = ref::FindText(line, ";", 1, false);
    gathered += semicolon > 0 ? ref::Left(line, semicolon - 1) : line;
    gathered += ';';
  }
  return gathered;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string headers(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(pellora::GatherSetCookies(headers) == RefGather(headers),
             "GatherSetCookies differs from the reference");
  return 0;
}
