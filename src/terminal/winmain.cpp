// WinMain started with what Windows would give it.
#include "terminal/winmain.h"

#include <string>

#include "terminal/module.h"
#include "terminal/user32.h"

namespace {

// The command line after the program's name, as Windows passes it: the
// arguments joined by blanks, those with blanks in double quotes.
std::string CommandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        if (!line.empty()) {
            line += ' ';
        }
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

} // namespace

int RunWinMain(int argc, char** argv) {
    std::string commandLine = CommandLineOf(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
}
