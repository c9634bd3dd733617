// Process-wide libcurl set-up and small owners for libcurl's C handles.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace pellora::internal {

// Initialises libcurl's global state exactly once, on the calling thread.
// Call it before starting any thread that uses libcurl. The state is never
// torn down, so workers still running while the process exits stay safe.
// Returns false when libcurl could not be initialised.
bool EnsureCurlGlobalInit();

struct CurlEasyDeleter {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlSlistDeleter {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// Appends one line to a header list; false when libcurl ran out of memory
// (the list is then left as it was).
bool AppendLine(CurlSlist& list, const std::string& line);

// An extra CA bundle that secure requests trust instead of the system's
// (for tests that serve TLS with a certificate made at run time). An empty
// path restores the system's bundle. Verification always stays on. When no
// file was set here, the environment variable PELLORA_CA_FILE is used.
void SetTrustedCaFile(const std::string& path);
[[nodiscard]] std::string TrustedCaFile();

}  // namespace pellora::internal
