// Fuzzes Utf8ToAnsi and Big5ToGbk on any bytes. Both yield code page 936 text
// that survives a round trip through UTF-8 unchanged, never more than two
// bytes per input byte, and ASCII text comes back as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "codepage/codepage.h"
#include "fuzz_check.h"

namespace {

bool Ascii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool big5 = in.ConsumeBool();
  const std::string input = in.ConsumeRemainingBytesAsString();
  const std::string gbk = big5 ? pellora::Big5ToGbk(input) : pellora::Utf8ToAnsi(input);

  FUZZ_CHECK(gbk.size() <= 2 * input.size(), "output more than twice the input");
  if (Ascii(input)) FUZZ_CHECK(gbk == input, "ASCII text changed");
  // What the converters give is well-formed 936 text: it goes to UTF-8 and
  // back without a change.
  const std::string utf8 = pellora::AnsiToUtf8(gbk);
  FUZZ_CHECK(pellora::Utf8ToAnsi(utf8) == gbk, "936 result does not survive a round trip");
  return 0;
}
