#include "app/lookup_host.h"

#include <cstdlib>

#ifndef PELLORA_DEFAULT_LOOKUP_HOST
#define PELLORA_DEFAULT_LOOKUP_HOST "127.0.0.1:8086"
#endif

namespace pellora {

Text LookupHost() {
  const char* fromEnvironment = std::getenv("PELLORA_LOOKUP_HOST");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return PELLORA_DEFAULT_LOOKUP_HOST;
}

}  // namespace pellora
