// Splitting a URL into scheme, host, port and path.
#pragma once

int IsHostChar(int c);
// Gives 1 when every part fitted its buffer, 0 when one was cut (then the
// URL split is not the one written).
int SplitUrl(const char* url, char* scheme, int schemeSize, char* host, int hostSize, char* path,
             int pathSize, int* port);

// A port as a URL or a "HOST:PORT" writes it: decimal digits only, 1 to
// 65535. Anything else (no digits, a sign, other characters, a number out
// of range) gives 0, a port that nothing connects to, rather than a port
// it happens to wrap to.
int ReadPort(const char* text);

// The exchange's room for each part, terminator included: a URL that fits
// these is one the exchange asks exactly as it is written. The host's room
// holds its ":PORT" too, so it is also the room for a "HOST:PORT".
const int kUrlSchemeSize = 20;
const int kUrlHostSize = 128;
const int kUrlPathSize = 2048;

// A URL split as the exchange splits it.
struct UrlParts {
    char scheme[kUrlSchemeSize];
    char host[kUrlHostSize];
    char path[kUrlPathSize];
    int port;
};

// True when the URL fitted the record.
bool SplitUrlParts(const char* url, UrlParts* parts);
