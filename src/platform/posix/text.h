// The text helpers of kernel32 and user32, with their Win32 names.
#pragma once

#include <cstdarg>

// With Win32 semantics: lstrcpynA copies at
// most max - 1 characters and always terminates; the wsprintf pair writes at
// most 1023 characters and the terminator.
char* lstrcpynA(char* destination, const char* source, int max);
int wsprintfA(char* output, const char* format, ...) __attribute__((format(printf, 2, 3)));
int wvsprintfA(char* output, const char* format, va_list arguments)
    __attribute__((format(printf, 2, 0)));
