// Owners for ICU converters, and per-thread copies of converters that are
// opened once per process. A UConverter carries conversion state, so one
// object must never be used by two threads at once; each thread gets its own
// clone of a shared, never-used master.
#pragma once

#include <unicode/ucnv.h>

#include <memory>

namespace pellora::internal {

struct ConverterCloser {
  void operator()(UConverter* converter) const noexcept { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opens the converter by its exact ICU name; null when ICU lacks it.
ConverterPtr OpenConverter(const char* name);

// A fresh copy of `master` (same name, callbacks and substitution bytes);
// null when `master` is null or the copy fails.
ConverterPtr CloneConverter(const UConverter* master);

// Makes `converter` write "?" for every character it cannot map, the invisible
// ones included (ICU's own callbacks drop unmappable default-ignorable
// characters such as U+200B or U+00AD without a trace). False on failure.
bool SubstituteQuestionMark(UConverter* converter);

// ICU names of the converters whose tables equal the Windows code pages.
inline constexpr const char* kGbkConverterName = "windows-936-2000";
inline constexpr const char* kBig5ConverterName = "windows-950-2000";

}  // namespace pellora::internal
