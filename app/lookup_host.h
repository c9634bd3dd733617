// Where the lookup service lives.
#pragma once

#include "values/value_types.h"

namespace pellora {

// The lookup service's host (and port): the environment variable
// PELLORA_LOOKUP_HOST when it is set and not empty, otherwise the default
// chosen when the program was built ("127.0.0.1:8086" unless configured
// otherwise with the CMake cache variable PELLORA_LOOKUP_HOST).
[[nodiscard]] Text LookupHost();

}  // namespace pellora
