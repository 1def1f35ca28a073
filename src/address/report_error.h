// The text of the last failure, kept for whoever debugs the program; it is
// never shown to the user.
#pragma once

extern char g_lastError[512];
void ReportError(const char* format, ...);
