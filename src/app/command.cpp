#include "app/command.h"

#include <cstdio>
#include <cstdlib>

#include "address/internet_address.h"
#include "app/deep_report.h"
#include "app/html_report.h"
#include "app/report.h"
#include "app/watch.h"
#include "detect/detect_ids.h"
#include "platform/platform.h"
#include "terminal/win32.h"

namespace {

int PrintVersion(const CommandProgram* program) {
    ProgramVersion version;
    if (!LoadProgramVersion(&version)) {
        std::fprintf(stderr, "%s: the program carries no version record\n", program->name);
        return kExitNotFound;
    }
    std::printf("%s %u.%u.%u.%u\n", version.productName, version.numbers[0], version.numbers[1],
                version.numbers[2], version.numbers[3]);
    return kExitFound;
}

} // namespace

int StartCommand(const CommandProgram* program, int argc, char** argv, CommandLine* command) {
    if (!ReadCommandLine(argc, argv, command)) {
        std::fprintf(stderr, "%s: %s (see %s --help)\n", program->name, command->error,
                     program->name);
        return kExitUsage;
    }
    if (command->htmlFile != nullptr && !HtmlFileWritable(command->htmlFile)) {
        std::fprintf(stderr, "%s: the page cannot be written to '%s' (see %s --help)\n",
                     program->name, command->htmlFile, program->name);
        return kExitUsage;
    }
    if (command->help) {
        PrintUsage(program->name, program->plainRun, g_echoUrl);
        return kExitFound;
    }
    g_hInstance = GetModuleHandleA(NULL);
    if (command->version) {
        return PrintVersion(program);
    }
    if (command->echoUrl != nullptr) {
        g_echoUrl = command->echoUrl;
    }
    return kCommandGoesOn;
}

namespace {

// The environment's ladder for --timers, "S,S,...", is for tests that
// cannot wait minutes; the user's is the default.
const char kLadderVariable[] = "MARVOLY_TIMERS_LADDER";

// The deep check after the detection run, told what that found.
void RunDeep(const DetectionReport* report, const CommandLine* command, std::FILE* progress,
             DeepFacts* facts) {
    TimerLadder ladder = kDefaultLadder;
    const char* rungs = std::getenv(kLadderVariable);
    if (rungs != nullptr && !ReadTimerLadder(rungs, &ladder)) {
        std::fprintf(stderr, "%s is no ladder of rising seconds; the default is used\n",
                     kLadderVariable);
    }
    DeepAsk ask = {g_echoUrl,
                   command->stunServer,
                   report->foundInternet ? report->internetAddress : nullptr,
                   report->noteId == IDS_BEHIND_FIREWALL,
                   report->noteId == IDS_NOT_BEHIND_FIREWALL,
                   command->timers ? &ladder : nullptr,
                   progress};
    RunDeepCheck(&ask, facts);
}

void WriteJson(const DetectionReport* report, const DeepFacts* facts) {
    JsonWriter json;
    StartJson(&json, stdout);
    JsonOpenObject(&json, nullptr);
    WriteJsonReport(&json, report);
    if (facts != nullptr) {
        WriteJsonDeepReport(&json, facts);
    }
    JsonClose(&json);
    std::fputc('\n', stdout);
}

// The report as asked: the page, and the text or JSON unless the page is
// all that was asked for.
int WriteReports(const CommandProgram* program, const CommandLine* command,
                 const DetectionReport* report, const DeepFacts* facts) {
    if (command->htmlFile != nullptr && !WriteHtmlFile(command->htmlFile, report, facts, nullptr)) {
        std::fprintf(stderr, "%s: the page could not be written to '%s'\n", program->name,
                     command->htmlFile);
        return kExitNotFound;
    }
    if (command->json) {
        WriteJson(report, command->deep ? facts : nullptr);
    } else if (command->report || command->htmlFile == nullptr) {
        if (command->deep) {
            WriteReadinessReport(stdout, facts);
        }
        WriteTextReport(stdout, report);
        if (command->deep) {
            WriteDeepTextReport(stdout, facts);
        }
    }
    return ReportIsComplete(report) ? kExitFound : kExitNotFound;
}

} // namespace

int RunReport(const CommandProgram* program, const CommandLine* command, std::FILE* progress) {
    WSADATA socketInfo;
    DetectionReport report;
    // With the round trips of every media request, too big for the stack
    // of a program that also keeps a day of rounds: static.
    static DeepFacts facts;
    if (WSAStartup(MAKEWORD(1, 1), &socketInfo) != 0) {
        std::fprintf(stderr, "%s: the socket layer cannot start\n", program->name);
        return kExitNotFound;
    }
    // Ctrl-C or SIGTERM ends the silences of --timers at once, and the
    // report is written with what was found by then.
    bool caught = command->timers && CatchSignals();
    MakeReport(&report);
    if (command->deep) {
        RunDeep(&report, command, progress, &facts);
    }
    if (caught) {
        ReleaseSignals();
    }
    int status = command->watchSeconds > 0 ? RunWatch(command, &report, &facts) : kCommandGoesOn;
    WSACleanup();
    return status != kCommandGoesOn ? status : WriteReports(program, command, &report, &facts);
}
