#include "web/request_worker.h"

#include <algorithm>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "values/text_ops.h"
#include "web/exchange_block.h"
#include "web/internal/cookie_store.h"
#include "web/internal/curl_support.h"
#include "web/internal/scheme.h"
#include "web/request_text.h"
#include "web/url.h"

namespace pellora {

namespace {

using internal::AppendLine;
using internal::CurlEasy;
using internal::CurlSlist;

constexpr int kMaxRedirects = 10;
// A body is reserved up front from its announced length, up to this much; a
// server that announces more than it sends cannot make us reserve more.
constexpr curl_off_t kMaxReserve = curl_off_t{256} << 20;
constexpr int kUnknownHeadersBlanks = 2048;

struct WorkerRequest {
  Text url;
  Text verb;
  Text proxy;
  Text headerText;  // as sent, defaults included
  Text agent;
  std::string_view postData;  // slot 5 of the block, which outlives the request
  Text cookies;
  bool allowRedirect = true;
};

struct Reply {
  bool failed = true;
  ByteString body;
  Text headers;
  bool headersKnown = false;
};

struct Transfer {
  CURL* curl = nullptr;
  const std::atomic<bool>* stop = nullptr;
  ByteString body;
  Text headers;
  bool statusSeen = false;
  bool headersDone = false;
  bool reserved = false;
  bool outOfMemory = false;

  void Reset() {
    body.clear();
    headers.clear();
    statusSeen = headersDone = reserved = false;
  }
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  try {
    if (!t.reserved) {
      t.reserved = true;
      curl_off_t announced = -1;
      curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
      if (announced > 0) {
        t.body.reserve(static_cast<size_t>(std::min(announced, kMaxReserve)));
      }
    }
    t.body.append(data, n);
  } catch (const std::bad_alloc&) {
    t.outOfMemory = true;
    return 0;
  }
  return n;
}

// Every response of a redirect chain and every interim 1xx reply comes
// through here; only the last head is kept, so it starts afresh at each
// status line. Lines after the empty line (trailers) are not part of it.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string_view line(data, n);
  if (line.substr(0, 5) == "HTTP/") {
    t.headers.clear();
    t.body.clear();
    t.statusSeen = true;
    t.headersDone = false;
    t.reserved = false;
  } else if (!t.statusSeen || t.headersDone) {
    return n;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  try {
    t.headers.append(line);
    t.headers.append("\r\n");
  } catch (const std::bad_alloc&) {
    t.outOfMemory = true;
    return 0;
  }
  if (line.empty()) t.headersDone = true;
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto& t = *static_cast<const Transfer*>(user);
  return t.stop != nullptr && t.stop->load(std::memory_order_relaxed) ? 1 : 0;
}

// Errors that mean the request never reached a server that answered it.
bool IsConnectFailure(CURLcode rc) {
  switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_FAILED_INIT:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED:
    case CURLE_OUT_OF_MEMORY:
      return true;
    default:
      return false;
  }
}

// Host names are handed to libcurl inside a URL, so only the characters of
// a plain host name or IPv4 address are let through; anything else could
// change how that URL is read.
bool IsUsableHost(std::string_view host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-' || c == '_';
  });
}

// A header line of that name, as libcurl matches names: the name in any case
// right before ":" (or ";", its form for an empty value).
bool IsHeader(std::string_view line, std::string_view name) {
  return line.size() > name.size() && internal::StartsWithNoCase(line, name) &&
         (line[name.size()] == ':' || line[name.size()] == ';');
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(),
                     [name](const std::string& line) { return IsHeader(line, name); });
}

// The header text split into lines (at CR, LF or both; empty lines dropped,
// since an empty line would end the request head). libcurl leaves out lines
// that have no ":" at all: they are no headers.
std::vector<std::string> HeaderLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", from), text.size());
    if (end > from) lines.emplace_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

// libcurl reads "Name:" with no value as "do not send Name" and "Name;" as
// "send Name with an empty value"; it adds Accept, Expect, Content-Type and
// Proxy-Connection of its own unless the list names them. The header text is
// to be sent as it stands, so empty values are kept and libcurl's own
// additions are removed.
CurlSlist BuildHeaderList(std::string_view headerText, bool postWithData,
                          bool dropBodyHeaders, bool& ok) {
  std::vector<std::string> lines = HeaderLines(headerText);
  if (dropBodyHeaders) {
    std::erase_if(lines, [](const std::string& line) {
      return IsHeader(line, "Content-Type") || IsHeader(line, "Content-Length");
    });
  }
  CurlSlist list;
  ok = true;
  for (std::string& line : lines) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos &&
        line.find_first_not_of(" \t", colon + 1) == std::string::npos) {
      line.resize(colon);
      line += ';';
    }
    ok = ok && AppendLine(list, line);
  }
  if (!HasHeader(lines, "Accept")) ok = ok && AppendLine(list, "Accept:");
  if (!HasHeader(lines, "Expect")) ok = ok && AppendLine(list, "Expect:");
  if (postWithData && !dropBodyHeaders && !HasHeader(lines, "Content-Type")) {
    ok = ok && AppendLine(list, "Content-Type:");
  }
  if (!HasHeader(lines, "Proxy-Connection")) ok = ok && AppendLine(list, "Proxy-Connection:");
  return list;
}

std::vector<std::string> HandleCookieLines(CURL* curl) {
  std::vector<std::string> lines;
  curl_slist* cookies = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
    for (const curl_slist* c = cookies; c != nullptr; c = c->next) lines.emplace_back(c->data);
    curl_slist_free_all(cookies);
  }
  return lines;
}

// The scheme and host of an absolute http or https URL as libcurl reads it;
// false for any other URL.
bool SplitRedirect(const char* url, bool& secure, std::string& host) {
  CURLU* parts = curl_url();
  if (parts == nullptr) return false;
  bool ok = curl_url_set(parts, CURLUPART_URL, url, 0) == CURLUE_OK;
  char* scheme = nullptr;
  char* name = nullptr;
  ok = ok && curl_url_get(parts, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
       curl_url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK;
  if (ok) {
    // Only http and https are followed; any other target ends the chain.
    const std::string_view s = scheme;
    const bool http = s.size() == 4 && internal::StartsWithNoCase(s, "http");
    const bool https = s.size() == 5 && internal::StartsWithNoCase(s, "https");
    ok = http || https;
    secure = https;
    host = ToLower(name);
  }
  curl_free(scheme);
  curl_free(name);
  curl_url_cleanup(parts);
  return ok;
}

bool IsFollowedRedirect(long code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

Reply Perform(const WorkerRequest& rq, const std::atomic<bool>* stop) {
  Reply reply;
  if (!internal::EnsureCurlGlobalInit()) return reply;
  const bool secure = internal::IsSecureUrl(rq.url);
  const Text host = UrlHost(rq.url);
  const int port = secure ? internal::SecurePort(rq.url) : UrlPort(rq.url);
  if (!IsUsableHost(host) || port < 1 || port > 65535) return reply;

  CurlEasy easy(curl_easy_init());
  if (!easy) return reply;
  CURL* const curl = easy.get();

  Transfer t;
  t.curl = curl;
  t.stop = stop;
  bool post = rq.verb == "POST";
  const bool postWithData = post && !rq.postData.empty();
  bool listOk = false;
  CurlSlist headers = BuildHeaderList(rq.headerText, postWithData, false, listOk);
  if (!listOk) return reply;
  const bool noCookies = !TrimBoth(rq.cookies).empty();
  const std::string caFile = internal::TrustedCaFile();

  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, rq.agent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
  if (postWithData) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(rq.postData.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, rq.postData.data());
  } else if (post) {
    // No body: no Content-Length or Content-Type line of libcurl's own.
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "POST");
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  }

  const std::string portText = std::to_string(port);
  const std::string origin = (secure ? "https://" : "http://") + host + ":" + portText;
  const std::string firstUrl = origin + "/";
  std::string target = EncodeControlBytes(UrlPath(rq.url));
  if (!secure && !rq.proxy.empty()) {
    // A proxy is asked for the absolute URL.
    target = "http://" + host + (port == 80 ? "" : ":" + portText) + target;
  }
  curl_easy_setopt(curl, CURLOPT_URL, firstUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, target.c_str());

  internal::CookieStore& store = internal::CookieStore::Instance();
  std::vector<std::string> loaded;
  std::set<std::string> loadedHosts;
  bool hopSecure = secure;
  std::string hopHost = host;
  std::string nextUrl;
  CURLcode rc = CURLE_OK;
  for (int hop = 0;; ++hop) {
    curl_easy_setopt(curl, CURLOPT_PROXY,
                     !hopSecure && !rq.proxy.empty() ? rq.proxy.c_str() : "");
    if (noCookies) {
      curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
    } else if (loadedHosts.insert(hopHost).second) {
      for (std::string& line : store.LinesFor(hopHost)) {
        curl_easy_setopt(curl, CURLOPT_COOKIELIST, line.c_str());
        loaded.push_back(std::move(line));
      }
    }
    t.Reset();
    rc = curl_easy_perform(curl);
    if (rc != CURLE_OK || !rq.allowRedirect || hop >= kMaxRedirects) break;
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    char* location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    if (!IsFollowedRedirect(code) || location == nullptr) break;
    nextUrl = location;
    if (!SplitRedirect(nextUrl.c_str(), hopSecure, hopHost)) break;
    if (post && code != 307 && code != 308) {
      // As browsers do: the request after a 301, 302 or 303 is a GET without
      // the body and without the lines that describe it.
      post = false;
      CurlSlist withoutBody = BuildHeaderList(rq.headerText, false, true, listOk);
      if (!listOk) break;
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, withoutBody.get());
      headers = std::move(withoutBody);
      curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
      curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_URL, nextUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, nullptr);
  }

  if (t.outOfMemory || (rc != CURLE_OK && IsConnectFailure(rc))) return reply;
  const bool abandoned = stop != nullptr && stop->load(std::memory_order_relaxed);
  if (!abandoned) {
    store.Merge(noCookies ? std::vector<std::string>{} : loaded, HandleCookieLines(curl));
  }
  reply.failed = false;
  reply.body = std::move(t.body);
  // A head cut off before its empty line (the peer closed, or it outgrew
  // what the client accepts) is no reply head: it counts as not to be had.
  reply.headersKnown = t.statusSeen && t.headersDone;
  reply.headers = std::move(t.headers);
  return reply;
}

}  // namespace

void RequestWorker(StreamHandle stream, const std::atomic<bool>* stop) {
  ByteStringArray block(kExchangeSlotCount);
  if (!StreamSeekToStart(stream) || !StreamReadData(stream, block)) return;
  ResizeArray(block, kExchangeSlotCount);

  WorkerRequest rq;
  rq.url = ToText(block[kSlotUrlOrBody]);
  rq.verb = ToText(block[kSlotVerbOrReplyCookies]);
  rq.proxy = ToText(block[kSlotProxy]);
  const Text callerHeaders = ToText(block[kSlotHeaders]);
  rq.postData = block[kSlotPostData];
  rq.cookies = ToText(block[kSlotCookiesOrReplyHeaders]);
  rq.allowRedirect = ToText(block[kSlotAllowRedirect]) == ToText(true);
  rq.agent = RequestAgent(callerHeaders);

  Reply reply;
  if (rq.verb == "GET" || rq.verb == "POST") {
    rq.headerText = BuildHeaderText(callerHeaders, rq.url, rq.verb, rq.postData, rq.cookies);
    reply = Perform(rq, stop);
  } else {
    // Any other verb is never sent: no body, and no reply head to be had.
    reply.failed = false;
  }

  if (reply.failed) {
    block[kSlotUrlOrBody].clear();
    block[kSlotVerbOrReplyCookies].clear();
    block[kSlotCookiesOrReplyHeaders].clear();
  } else {
    block[kSlotUrlOrBody] = std::move(reply.body);
    block[kSlotCookiesOrReplyHeaders] =
        reply.headersKnown ? std::move(reply.headers) : BlankText(kUnknownHeadersBlanks);
    block[kSlotVerbOrReplyCookies] = GatherSetCookies(block[kSlotCookiesOrReplyHeaders]);
  }
  // Moved, not copied: a large body keeps its buffer inside the stream.
  StreamSeekToStart(stream);
  StreamWriteData(stream, std::move(block));
}

}  // namespace pellora
