// The native program's entry: the dialog when standard input and output are
// a terminal, otherwise (or when asked) the report of one detection run.
#include <cstdio>

#include "address/internet_address.h"
#include "app/command_line.h"
#include "app/report.h"
#include "terminal/win32.h"
#include "terminal/resources.h"
#include "terminal/terminal.h"

namespace {

const int kExitFound = 0;
const int kExitNotFound = 1;
const int kExitUsage = 2;

int PrintVersion() {
    VersionRecord version;
    if (!ResourceLoadVersion(GetModuleHandleA(NULL), &version)) {
        std::fprintf(stderr, "marvoly: the program carries no version record\n");
        return kExitNotFound;
    }
    std::printf("%s %u.%u.%u.%u\n", version.productName, version.fileVersion[0],
                version.fileVersion[1], version.fileVersion[2], version.fileVersion[3]);
    return kExitFound;
}

int Report(bool json, bool deep) {
    WSADATA socketInfo;
    DetectionReport report;
    DeepReport deepReport;
    if (WSAStartup(MAKEWORD(1, 1), &socketInfo) != 0) {
        std::fprintf(stderr, "marvoly: the socket layer cannot start\n");
        return kExitNotFound;
    }
    MakeReport(&report);
    if (deep) {
        MakeDeepReport(&report, &deepReport);
    }
    WSACleanup();
    if (json) {
        WriteJsonReport(stdout, &report, deep ? &deepReport : nullptr);
    } else {
        WriteTextReport(stdout, &report);
        if (deep) {
            WriteDeepTextReport(stdout, &deepReport);
        }
    }
    return ReportIsComplete(&report) ? kExitFound : kExitNotFound;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine command;
    if (!ReadCommandLine(argc, argv, &command)) {
        std::fprintf(stderr, "marvoly: %s (see marvoly --help)\n", command.error);
        return kExitUsage;
    }
    if (command.help) {
        PrintUsage(g_echoUrl);
        return kExitFound;
    }
    g_hInstance = GetModuleHandleA(NULL);
    if (command.version) {
        return PrintVersion();
    }
    if (command.echoUrl != nullptr) {
        g_echoUrl = command.echoUrl;
    }
    if (!command.report && !command.json && TerminalAvailable()) {
        return RunWinMain(argc, argv);
    }
    return Report(command.json, command.deep);
}
