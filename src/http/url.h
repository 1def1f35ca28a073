// Splitting a URL into scheme, host, port and path.
#pragma once

int IsHostChar(int c);
void SplitUrl(const char* url, char* scheme, int schemeSize, char* host, int hostSize, char* path,
              int pathSize, int* port);
