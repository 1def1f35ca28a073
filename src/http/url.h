// Splitting a URL into scheme, host, port and path.
#pragma once

int IsHostChar(int c);
void SplitUrl(const char* url, char* scheme, int schemeSize, char* host, int hostSize, char* path,
              int pathSize, int* port);

// The exchange's room for each part, terminator included: a URL that fits
// these is one the exchange asks exactly as it is written.
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

void SplitUrlParts(const char* url, UrlParts* parts);
