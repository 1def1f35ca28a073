// One HTTP/1.0 request over a plain TCP connection: the request is composed
// here byte for byte, and the whole response is read until the peer closes.
#include "http/exchange.h"

#include <cstdlib>
#include <cstring>

#include "http/url.h"

namespace {

const int kReceiveSize = 1024;

// When the exchange in progress must be over, from the start of its connect;
// the program runs one exchange at a time, and every wait of it (the sends
// of SendString too) ends by then.
long long g_deadline = 0;

// What one request is made of, once the URL is split.
struct Request {
    char host[kUrlHostSize];
    char path[kUrlPathSize];
    int port;
    int deadlineMs;
    const char* extraHeaders;
    const char* postData;
    int postLength;
};

// Closing the connection on failure is the caller's job; this only dials.
bool ConnectToHost(SOCKET socket, const Request* request) {
    struct sockaddr_in address;
    if (!ResolveEndpoint(request->host, (unsigned short)request->port, &address)) {
        return false;
    }
    g_deadline = SteadyMilliseconds() + request->deadlineMs;
    return ConnectWithTimeout(socket, (struct sockaddr*)&address, sizeof(address),
                              DeadlineWithin(kHttpOperationTimeoutMs, g_deadline)) == 0;
}

// Sends every byte, each part once there is room for it. Gives the count, or
// SOCKET_ERROR when a wait or a send failed first.
int SendBytes(SOCKET socket, const char* bytes, int length) {
    int sent = 0;
    while (sent < length) {
        if (WaitForSocket(socket, kWaitToSend,
                          DeadlineWithin(kHttpOperationTimeoutMs, g_deadline)) != 0) {
            return SOCKET_ERROR;
        }
        int result = (int)send(socket, bytes + sent, length - sent, 0);
        if (result <= 0) {
            return SOCKET_ERROR;
        }
        sent += result;
    }
    return sent;
}

// recv once the socket has something for it: a wait that runs out counts as
// a failed receive.
int Receive(SOCKET socket, char* area, int size, int flags) {
    if (WaitForSocket(socket, kWaitToReceive,
                      DeadlineWithin(kHttpOperationTimeoutMs, g_deadline)) != 0) {
        return SOCKET_ERROR;
    }
    return (int)recv(socket, area, size, flags);
}

// The results of the sends are not looked at: a peer that stops listening
// shows up as a short or failed response instead.
void SendRequest(SOCKET socket, const Request* request, char* area) {
    SendString(socket, request->postData != nullptr ? "POST " : "GET ");
    SendString(socket, request->path[0] != '\0' ? request->path : "/");
    SendString(socket, " HTTP/1.0\r\n");
    SendString(socket, "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                       "application/vnd.ms-excel, application/msword, "
                       "application/vnd.ms-powerpoint, */*\r\n");
    SendString(socket, "Accept-Language: en-us\r\n");
    SendString(socket, "Accept-Encoding: gzip, deflate\r\n");
    SendString(socket, "User-Agent: Mozilla/4.0\r\n");
    if (request->postLength != 0) {
        wsprintfA(area, "Content-Length: %ld\r\n", (long)request->postLength);
        SendString(socket, area);
    }
    SendString(socket, "Host: ");
    SendString(socket, request->host);
    SendString(socket, "\r\n");
    if (request->extraHeaders != nullptr && request->extraHeaders[0] != '\0') {
        SendString(socket, request->extraHeaders);
    }
    SendString(socket, "\r\n");
    // A negative length is no length: nothing may be read from before or
    // beyond the caller's data.
    if (request->postData != nullptr && request->postLength > 0) {
        SendBytes(socket, request->postData, request->postLength);
    }
}

// Byte by byte, so the header buffer grows exactly as it always has.
void PutHeaderBytes(ByteBuffer* buffer, const char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        ByteBufferPutByte(buffer, bytes[i]);
    }
}

// The header ends at the first LF closing a line of nothing but CRs. Gives
// how many of the bytes belong to the header, and true in *complete when
// its end is among them; lineCount carries over from earlier bytes.
int ScanHeaderBytes(const char* bytes, int count, int* lineCount, bool* complete) {
    int used = 0;
    *complete = false;
    while (used < count && !*complete) {
        char byte = bytes[used++];
        if (byte == '\n') {
            *complete = *lineCount == 0;
            *lineCount = 0;
        } else if (byte != '\r') {
            ++*lineCount;
        }
    }
    return used;
}

// Looks at the waiting bytes without taking them, then takes exactly those
// that belong to the header: nothing after the empty line is consumed, and
// it costs two receives per arrival instead of one per byte. Gives true
// when the header ended; false when the peer closed, a receive failed or
// timed out first.
bool ReadHeader(SOCKET socket, char* area, ByteBuffer* header) {
    ByteBufferInit(header);
    int lineCount = 0;
    while (header->start != nullptr) {
        int waiting = Receive(socket, area, kReceiveSize, MSG_PEEK);
        int lookahead = lineCount;
        bool complete = false;
        int wanted = waiting > 0 ? ScanHeaderBytes(area, waiting, &lookahead, &complete) : 0;
        int received = wanted > 0 ? Receive(socket, area, wanted, 0) : 0;
        if (received <= 0) {
            return false;
        }
        ScanHeaderBytes(area, received, &lineCount, &complete);
        PutHeaderBytes(header, area, received);
        if (header->start != nullptr && ByteBufferUsed(header) > kHttpHeaderLimit) {
            ByteBufferDrop(header);
        } else if (complete) {
            return true;
        }
    }
    return false;
}

// The body is whatever arrives until the peer closes or a receive fails.
void ReadBody(SOCKET socket, char* area, ByteBuffer* body) {
    ByteBufferInit(body);
    while (body->start != nullptr) {
        int received = Receive(socket, area, kReceiveSize, 0);
        if (received < 0) {
            return;
        }
        ByteBufferAppend(body, area, (unsigned int)received);
        if (body->start != nullptr && ByteBufferUsed(body) > kHttpBodyLimit) {
            ByteBufferDrop(body);
        }
        if (received == 0) {
            return;
        }
    }
}

// Fills the record only when both blocks could be had; a buffer that ran
// out of heap fails the exchange rather than hand over a cut response.
int ReadResponse(SOCKET socket, char* area, HttpResponse* response) {
    ByteBuffer header;
    bool headerComplete = ReadHeader(socket, area, &header);
    if (!ByteBufferTerminate(&header)) {
        return 1;
    }

    // A header cut short by a close or a failed receive leaves an empty
    // body; a wait that ran out is not waited out a second time.
    ByteBuffer body;
    if (headerComplete) {
        ReadBody(socket, area, &body);
    } else {
        ByteBufferInit(&body);
    }
    if (!ByteBufferTerminate(&body)) {
        std::free(header.start);
        return 1;
    }

    response->header = header.start;
    response->body = body.start;
    response->bodyLength = (int)ByteBufferUsed(&body);
    return 0;
}

// Runs between the socket library's start and its cleanup.
int ExchangeOverSocket(const Request* request, HttpResponse* response) {
    SOCKET connection = socket(AF_INET, SOCK_STREAM, 0);
    if (connection == INVALID_SOCKET) {
        return 1;
    }
    int result = 1;
    if (ConnectToHost(connection, request)) {
        SetSocketNoDelay(connection);
        // Also holds the Content-Length line while the request goes out.
        char area[kReceiveSize];
        HoldSends(connection, 1);
        SendRequest(connection, request, area);
        HoldSends(connection, 0);
        result = ReadResponse(connection, area, response);
    }
    closesocket(connection);
    return result;
}

} // namespace

int HttpExchange(const char* url, const char* extraHeaders, const char* postData, int postLength,
                 HttpResponse* response) {
    return HttpExchangeWithin(kHttpExchangeDeadlineMs, url, extraHeaders, postData, postLength,
                              response);
}

int HttpExchangeWithin(int deadlineMs, const char* url, const char* extraHeaders,
                       const char* postData, int postLength, HttpResponse* response) {
    char scheme[kUrlSchemeSize];
    Request request;
    // A cut URL would ask another host, port or page than the one written.
    if (SplitUrl(url, scheme, sizeof(scheme), request.host, sizeof(request.host), request.path,
                 sizeof(request.path), &request.port) == 0 ||
        std::strcmp(scheme, "HTTP") != 0 || request.port == 0) {
        return 1;
    }
    request.deadlineMs = deadlineMs;
    request.extraHeaders = extraHeaders;
    request.postData = postData;
    request.postLength = postLength;

    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 1;
    }
    int result = ExchangeOverSocket(&request, response);
    WSACleanup();
    return result;
}

// An answer of another kind than IPv4 addresses finds nothing either.
bool ResolveEndpoint(const char* host, unsigned short port, struct sockaddr_in* address) {
    struct hostent* entry = gethostbyname(host);
    std::memset(address, 0, sizeof(*address));
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != sizeof(uint32_t) ||
        entry->h_addr_list[0] == nullptr) {
        return false;
    }
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    std::memcpy(&address->sin_addr, entry->h_addr_list[0], sizeof(uint32_t));
    return address->sin_addr.s_addr != 0;
}

int SendString(SOCKET socket, const char* text) {
    return SendBytes(socket, text, (int)std::strlen(text));
}

void FreeHttpResponse(HttpResponse* response) {
    if (response == nullptr) {
        return;
    }
    std::free(response->header);
    response->header = nullptr;
    std::free(response->body);
    response->body = nullptr;
}
