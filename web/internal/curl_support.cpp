#include "web/internal/curl_support.h"

#include <cstdlib>
#include <mutex>

#ifdef PELLORA_OPENSSL_NO_ATEXIT
#include <openssl/crypto.h>
#endif

namespace pellora::internal {

namespace {

// Never destroyed: a detached worker may read it while the process exits.
struct CaSetting {
  std::mutex mutex;
  std::string path;
  bool set = false;
};

CaSetting& CaSettingInstance() {
  static CaSetting* const setting = new CaSetting;
  return *setting;
}

}  // namespace

bool EnsureCurlGlobalInit() {
  // curl_global_cleanup is deliberately never called: detached workers may
  // still be inside libcurl when static destruction runs.
  static const bool ok = [] {
#ifdef PELLORA_OPENSSL_NO_ATEXIT
    // OpenSSL would otherwise free its global state in an exit handler while
    // a detached worker may still be in a TLS handshake. Only the first
    // initialisation of OpenSSL decides this, so it comes before libcurl's.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
#endif
    return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  }();
  return ok;
}

bool AppendLine(CurlSlist& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) return false;
  list.release();
  list.reset(grown);
  return true;
}

void SetTrustedCaFile(const std::string& path) {
  CaSetting& setting = CaSettingInstance();
  std::lock_guard lock(setting.mutex);
  setting.path = path;
  setting.set = true;
}

std::string TrustedCaFile() {
  CaSetting& setting = CaSettingInstance();
  {
    std::lock_guard lock(setting.mutex);
    if (setting.set) return setting.path;
  }
  const char* env = std::getenv("PELLORA_CA_FILE");
  return env != nullptr ? std::string(env) : std::string();
}

}  // namespace pellora::internal
