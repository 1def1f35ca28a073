// The text of the last failure.
#include "address/report_error.h"

#include "platform/platform.h"

char g_lastError[512];

void ReportError(const char* format, ...) {
    // wvsprintfA may write up to 1024 bytes, twice the record: format in
    // full, then keep what fits.
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(text, format, arguments);
    va_end(arguments);
    lstrcpynA(g_lastError, text, sizeof(g_lastError));
}
