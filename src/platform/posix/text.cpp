// The kernel32 and user32 text helpers over the C library.
#include "platform/posix/text.h"

#include <cstdio>

namespace {

const int kFormatBufferSize = 1024; // wvsprintfA writes at most this many bytes

} // namespace

char* lstrcpynA(char* destination, const char* source, int max) {
    if (max <= 0) {
        return destination;
    }
    int i = 0;
    for (; i < max - 1 && source[i] != '\0'; ++i) {
        destination[i] = source[i];
    }
    destination[i] = '\0';
    return destination;
}

int wvsprintfA(char* output, const char* format, va_list arguments) {
    int length = std::vsnprintf(output, kFormatBufferSize, format, arguments);
    if (length < 0) {
        output[0] = '\0';
        return 0;
    }
    return length < kFormatBufferSize ? length : kFormatBufferSize - 1;
}

int wsprintfA(char* output, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = wvsprintfA(output, format, arguments);
    va_end(arguments);
    return length;
}
