// One HTTP/1.0 request over a plain TCP connection, the whole response read
// into memory.
#pragma once

#include <cstdint>

#include "http/byte_buffer.h"
#include "platform/platform.h"

// The largest response header and body that an exchange takes. An echo
// page's header is a few hundred bytes and its body a line; beyond these it
// is no echo page, and the exchange fails rather than let a peer that never
// stops fill the memory.
const unsigned int kHttpHeaderLimit = 64 * 1024;
const unsigned int kHttpBodyLimit = 1024 * 1024;

// 0 when the request was sent (whatever the HTTP status), 1 when it could not
// be; the record is written only on 0.
int HttpExchange(const char* url, const char* extraHeaders, const char* postData, int postLength,
                 HttpResponse* response);
uint32_t ResolveFirstAddress(const char* host);
int SendString(SOCKET socket, const char* text);
