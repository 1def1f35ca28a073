// Stands in for the web browser: registered as the handler of http URLs, it
// appends each URL it is asked to open to a log file, one a line.
//
//   url_recorder LOGFILE URL
//
// A windowed program, so that being started from the dialog opens no console.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 3) {
        return 2;
    }
    FILE* log = std::fopen(__argv[1], "ab");
    if (log == nullptr) {
        return 1;
    }
    std::fprintf(log, "%s\n", __argv[2]);
    return std::fclose(log) == 0 ? 0 : 1;
}
