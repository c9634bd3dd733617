// The request worker: performs the one HTTP request described by an exchange
// block (see exchange_block.h) with libcurl and writes the reply back.
#pragma once

#include <atomic>

#include "values/memory_stream.h"

namespace pellora {

// Reads the seven-slot block from the start of `stream`, performs the request
// and writes the block back at the start of the stream: slot 1 the body,
// slot 6 the raw headers of the final reply ("HTTP/1.1 200 OK\r\n", each
// header line ending in "\r\n", then "\r\n"; 2048 blanks when no reply head
// arrived), slot 2 the gathered cookie pairs. When the request cannot be
// made at all (bad host or port, no connection, TLS verification failed)
// slots 1, 2 and 6 come back empty. A block that cannot be read ends the
// worker without writing.
//
// Secure exactly when the URL begins with "https://" (any case), on the port
// written after the host or 443; otherwise on UrlPort. The proxy serves
// http:// requests only. Redirects are followed (at most 10) when slot 7 is
// "真". A cookie text that is not blank turns the process-wide cookie store
// off for this request: nothing is loaded from it, and only the final reply's
// cookies are stored into it.
//
// When `stop` turns true the transfer is abandoned within about a second; the
// reply written then is of no use to anybody but keeps the protocol.
void RequestWorker(StreamHandle stream, const std::atomic<bool>* stop = nullptr);

}  // namespace pellora
