// The native program's entry: the dialog when standard input and output are
// a terminal, otherwise (or when asked) the report of one detection run.
#include <unistd.h>

#include "app/command.h"
#include "terminal/resources.h"
#include "terminal/terminal.h"
#include "terminal/win32.h"

namespace {

const CommandProgram kProgram = {
    "marvoly", "With standard input and\n"
               "output on a terminal it shows its dialog there; otherwise it prints the report."};

} // namespace

// The version record embedded with the dialog's resources.
bool LoadProgramVersion(ProgramVersion* version) {
    VersionRecord record;
    if (!ResourceLoadVersion(GetModuleHandleA(NULL), &record)) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        version->numbers[i] = record.fileVersion[i];
    }
    lstrcpynA(version->productName, record.productName, sizeof(version->productName));
    return true;
}

int main(int argc, char** argv) {
    CommandLine command;
    int status = StartCommand(&kProgram, argc, argv, &command);
    if (status != kCommandGoesOn) {
        return status;
    }
    if (!command.report && !command.json && TerminalAvailable()) {
        return RunWinMain(argc, argv);
    }
    return RunReport(&kProgram, &command, isatty(STDERR_FILENO) ? stderr : nullptr);
}
