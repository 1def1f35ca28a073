// The Windows console program's entry: the report of one detection run, as
// the native command gives it, with the same options and exit codes. The
// dialog is Marvoly.exe's; without --report or --json this program prints
// the text report. Its lines end in CR LF as the console's text mode writes
// them.
#include <io.h>

#include "app/command.h"
#include "platform/platform.h"

namespace {

const CommandProgram kProgram = {
    "marvoly-cli", "Without --report or\n"
                   "--json it prints the report; Marvoly.exe shows it in its dialog."};

// Room for the version record as GetFileVersionInfoA lays it out, a few
// times the resource's own size.
const DWORD kVersionDataSize = 8192;

} // namespace

// The program's own version record, read with the version API as from any
// program file.
bool LoadProgramVersion(ProgramVersion* version) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    DWORD ignored = 0;
    DWORD size = length > 0 && length < sizeof(path) ? GetFileVersionInfoSizeA(path, &ignored) : 0;
    static char data[kVersionDataSize];
    if (size == 0 || size > sizeof(data) || !GetFileVersionInfoA(path, 0, size, data)) {
        return false;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* language = nullptr;
    UINT fixedSize = 0;
    UINT languageSize = 0;
    if (!VerQueryValueA(data, "\\", (void**)&fixed, &fixedSize) || fixedSize < sizeof(*fixed) ||
        !VerQueryValueA(data, "\\VarFileInfo\\Translation", (void**)&language, &languageSize) ||
        languageSize < 2 * sizeof(WORD)) {
        return false;
    }
    // The product name of the first language the record lists.
    char key[64];
    wsprintfA(key, "\\StringFileInfo\\%04X%04X\\ProductName", language[0], language[1]);
    char* name = nullptr;
    UINT nameSize = 0;
    if (!VerQueryValueA(data, key, (void**)&name, &nameSize) || nameSize == 0) {
        return false;
    }
    lstrcpynA(version->productName, name, sizeof(version->productName));
    version->numbers[0] = HIWORD(fixed->dwFileVersionMS);
    version->numbers[1] = LOWORD(fixed->dwFileVersionMS);
    version->numbers[2] = HIWORD(fixed->dwFileVersionLS);
    version->numbers[3] = LOWORD(fixed->dwFileVersionLS);
    return true;
}

int main(int argc, char** argv) {
    CommandLine command;
    int status = StartCommand(&kProgram, argc, argv, &command);
    if (status != kCommandGoesOn) {
        return status;
    }
    return RunReport(&kProgram, &command, _isatty(_fileno(stderr)) ? stderr : nullptr);
}
