#include "codepage/internal/icu_converter.h"

#include <unicode/ucnv_cb.h>
#include <unicode/uversion.h>

namespace pellora::internal {
namespace {

void WriteQuestionMark(const void* /*context*/, UConverterFromUnicodeArgs* args,
                       const UChar* /*units*/, int32_t /*length*/, UChar32 /*codePoint*/,
                       UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
}

}  // namespace

ConverterPtr OpenConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

ConverterPtr CloneConverter(const UConverter* master) {
  if (master == nullptr) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  ConverterPtr copy(ucnv_clone(master, &status));
#else
  ConverterPtr copy(ucnv_safeClone(master, nullptr, nullptr, &status));
#endif
  if (U_FAILURE(status)) return nullptr;
  return copy;
}

bool SubstituteQuestionMark(UConverter* converter) {
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, WriteQuestionMark, nullptr, nullptr, nullptr, &status);
  return U_SUCCESS(status);
}

}  // namespace pellora::internal
