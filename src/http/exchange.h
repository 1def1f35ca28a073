// One HTTP/1.0 request over a plain TCP connection, the whole response read
// into memory.
#pragma once

#include <cstdint>

#include "http/byte_buffer.h"
#include "platform/platform.h"

// header and body are heap blocks owned by whoever holds the record, each
// ended by a NUL that bodyLength does not count. An empty record has both
// pointers null.
struct HttpResponse {
    char* header;
    char* body;
    int bodyLength;
};

// Releases both blocks and leaves the record empty; null is no record.
void FreeHttpResponse(HttpResponse* response);

// The largest response header and body that an exchange takes. An echo
// page's header is a few hundred bytes and its body a line; beyond these it
// is no echo page, and the exchange fails rather than let a peer that never
// stops fill the memory.
const unsigned int kHttpHeaderLimit = 64 * 1024;
const unsigned int kHttpBodyLimit = 1024 * 1024;

// How long one connect, send or receive may wait, and how long the whole
// exchange may take, from the start of its connect to the end of its body.
// A wait that runs out is a failed receive or send; a connect that runs out
// fails the exchange.
const int kHttpOperationTimeoutMs = MARVOLY_NET_TIMEOUT_MS;
const int kHttpExchangeDeadlineMs = MARVOLY_EXCHANGE_DEADLINE_MS;

// 0 when the request was sent (whatever the HTTP status), 1 when it could not
// be (a URL that is not HTTP, names no port 1-65535 or does not fit the
// exchange's room is never asked); the record is written only on 0.
int HttpExchange(const char* url, const char* extraHeaders, const char* postData, int postLength,
                 HttpResponse* response);
// The same, the whole exchange over within deadlineMs instead: for a page
// whose answer is of no use after a shorter time than any page may take.
int HttpExchangeWithin(int deadlineMs, const char* url, const char* extraHeaders,
                       const char* postData, int postLength, HttpResponse* response);
// The one IPv4 resolver of the program, for the exchange and for every
// probe: the first address of host at port; false when it has none (the
// address 0 is none either).
bool ResolveEndpoint(const char* host, unsigned short port, struct sockaddr_in* address);
// Sends all of text within the waits of the exchange in progress: the
// count, or SOCKET_ERROR.
int SendString(SOCKET socket, const char* text);
