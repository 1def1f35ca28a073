// One HTTP/1.0 request over a plain TCP connection, the whole response read
// into memory.
#pragma once

#include <cstdint>

#include "http/byte_buffer.h"
#include "platform/platform.h"

// 0 when the request was sent (whatever the HTTP status), 1 when it could not
// be; the record is written only on 0.
int HttpExchange(const char* url, const char* extraHeaders, const char* postData, int postLength,
                 HttpResponse* response);
uint32_t ResolveFirstAddress(const char* host);
int SendString(SOCKET socket, const char* text);
