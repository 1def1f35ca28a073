#include "app/command_line.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "http/url.h"
#include "platform/platform.h"

namespace {

const char kEchoUrlOption[] = "--echo-url";
const char kStunOption[] = "--stun";
const char kHtmlOption[] = "--html";
const char kWatchOption[] = "--watch";
const int kWatchFloor = 10;
const int kWatchCeiling = 86400;

// A count of seconds in digits alone, or -1.
int Seconds(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    bool digits = text[0] != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
    return digits && std::strlen(text) <= 6 ? (int)value : -1;
}

bool Refuse(CommandLine* command, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(command->error, sizeof(command->error), format, arguments);
    va_end(arguments);
    return false;
}

// A URL that the exchange asks as it is written: the HTTP scheme, a host,
// a port that TCP has, each part within the exchange's room for it.
bool TakeEchoUrl(const char* url, CommandLine* command) {
    UrlParts parts;
    if (!SplitUrlParts(url, &parts)) {
        return Refuse(command,
                      "the echo URL is too long (at most %d characters of host and port, %d of "
                      "path): '%s'",
                      kUrlHostSize - 1, kUrlPathSize - 1, url);
    }
    if (std::strcmp(parts.scheme, "HTTP") != 0 || parts.host[0] == '\0' || parts.port == 0) {
        return Refuse(command, "the echo URL '%s' names no HTTP host and port 1-65535", url);
    }
    command->echoUrl = url;
    return true;
}

bool Is(const char* argument, const char* longName, const char* shortName) {
    return std::strcmp(argument, longName) == 0 ||
           (shortName != nullptr && std::strcmp(argument, shortName) == 0);
}

// A STUN server as --stun takes it: a host name or dotted address, and
// perhaps ":PORT" with a port that UDP has, all of it as long as a URL's
// host and port may be, so that it is asked as it is written.
bool TakeStunServer(const char* server, CommandLine* command) {
    if (std::strlen(server) >= (std::size_t)kUrlHostSize) {
        return Refuse(command, "the STUN server is longer than %d characters: '%s'",
                      kUrlHostSize - 1, server);
    }
    for (const char* at = server; *at != '\0'; ++at) {
        if (!IsHostChar(*at)) {
            return Refuse(command, "the STUN server '%s' is no HOST or HOST:PORT", server);
        }
    }
    const char* colon = std::strchr(server, ':');
    if (colon == server || *server == '\0' || (colon != nullptr && ReadPort(colon + 1) == 0)) {
        return Refuse(command, "the STUN server '%s' is no HOST or HOST:PORT", server);
    }
    command->stunServer = server;
    return true;
}

// The value of "OPTION VALUE" or "OPTION=VALUE"; null, and i unchanged,
// for any other argument.
const char* ValueOf(int argc, char** argv, int* i, const char* option) {
    const char* argument = argv[*i];
    std::size_t length = std::strlen(option);
    if (std::strncmp(argument, option, length) != 0) {
        return nullptr;
    }
    if (argument[length] == '=') {
        return argument + length + 1;
    }
    if (argument[length] != '\0' || *i + 1 >= argc) {
        return nullptr;
    }
    return argv[++*i];
}

// --html FILE and --watch SECONDS; false for any other argument. A bad
// value is refused in error.
bool ReadPageOptions(int argc, char** argv, int* i, CommandLine* command) {
    const char* file = ValueOf(argc, argv, i, kHtmlOption);
    const char* seconds = file == nullptr ? ValueOf(argc, argv, i, kWatchOption) : nullptr;
    if (file != nullptr) {
        command->htmlFile = file;
        if (file[0] == '\0') {
            Refuse(command, "option '%s' needs a FILE", kHtmlOption);
        }
        return true;
    }
    if (seconds == nullptr) {
        return false;
    }
    command->watchSeconds = Seconds(seconds);
    if (command->watchSeconds < WatchFloor() || command->watchSeconds > kWatchCeiling) {
        Refuse(command, "--watch takes %d to %d SECONDS, not '%s'", WatchFloor(), kWatchCeiling,
               seconds);
    }
    return true;
}

bool CheckCombination(CommandLine* command) {
    if (command->timers) {
        command->deep = true;
        command->report = command->report || !command->json;
    }
    if (command->report && command->json) {
        return Refuse(command, "--report and --json cannot be given together");
    }
    bool html = command->htmlFile != nullptr;
    if (html && std::strcmp(command->htmlFile, "-") == 0 &&
        (command->report || command->json || command->watchSeconds > 0)) {
        return Refuse(command, "--html - writes the page where the report would go");
    }
    if (command->deep && command->watchSeconds > 0 && !html) {
        return Refuse(command, "--watch repeats the quick facts only; --html adds the deep ones");
    }
    // The dialog has no place for the facts of --deep.
    if (command->deep && !command->report && !command->json && !html) {
        return Refuse(command, "--deep needs --report, --json or --html");
    }
    command->deep = command->deep || html;
    return true;
}

// What an option that takes a value names it, as its refusal says when
// the value is missing; null for any other argument.
const char* NeedsValue(const char* argument) {
    const char* const options[][2] = {{kEchoUrlOption, "a URL"},
                                      {kStunOption, "a HOST or HOST:PORT"},
                                      {kHtmlOption, "a FILE"},
                                      {kWatchOption, "SECONDS"}};
    for (const auto& option : options) {
        if (std::strcmp(argument, option[0]) == 0) {
            return option[1];
        }
    }
    return nullptr;
}

} // namespace

bool ReadCommandLine(int argc, char** argv, CommandLine* command) {
    *command = CommandLine();
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const char* url = ValueOf(argc, argv, &i, kEchoUrlOption);
        const char* stun = url == nullptr ? ValueOf(argc, argv, &i, kStunOption) : nullptr;
        if (url == nullptr && stun == nullptr && ReadPageOptions(argc, argv, &i, command)) {
            if (command->error[0] != '\0') {
                return false;
            }
        } else if (url != nullptr || stun != nullptr) {
            if (url != nullptr ? !TakeEchoUrl(url, command) : !TakeStunServer(stun, command)) {
                return false;
            }
        } else if (Is(argument, "--report", nullptr)) {
            command->report = true;
        } else if (Is(argument, "--json", nullptr)) {
            command->json = true;
        } else if (Is(argument, "--deep", nullptr)) {
            command->deep = true;
        } else if (Is(argument, "--timers", nullptr)) {
            command->timers = true;
        } else if (Is(argument, "--help", "-h")) {
            command->help = true;
        } else if (Is(argument, "--version", "-V")) {
            command->version = true;
        } else if (NeedsValue(argument)) {
            return Refuse(command, "option '%s' needs %s", argument, NeedsValue(argument));
        } else if (argument[0] == '-') {
            return Refuse(command, "unknown option '%s'", argument);
        } else {
            return Refuse(command, "unexpected argument '%s'", argument);
        }
    }
    return CheckCombination(command);
}

int WatchFloor() {
    const char* floor = std::getenv("MARVOLY_WATCH_FLOOR");
    int seconds = floor != nullptr ? Seconds(floor) : -1;
    return seconds > 0 && seconds < kWatchFloor ? seconds : kWatchFloor;
}

void PrintUsage(const char* name, const char* plainRun, const char* builtInUrl) {
    std::printf("Usage: %s [--report | --json] [--deep] [--timers] [--html FILE]\n"
                "       [--watch SECONDS] [--echo-url URL] [--stun HOST[:PORT]]\n"
                "       %s --help | --version\n"
                "\n"
                "Tells whether this machine is behind a firewall or an address-translating\n"
                "router, which matters for H.323 videoconferencing. %s\n"
                "\n"
                "  --report        one detection run, then the report in three lines\n"
                "  --json          one detection run, then the report as one JSON object\n"
                "  --deep          the report adds whether H.323 calls work from here, out\n"
                "                  and in, with picture and sound, and what to change: the\n"
                "                  router's port mapping, double NAT, TCP port 1720 both\n"
                "                  ways, its H.323 ALG, UDP and how the router maps it, and\n"
                "                  a call's packets (about 10 s more at most)\n"
                "  --html FILE     also writes the facts of --deep as a page to look at\n"
                "                  (- for standard output)\n"
                "  --watch SECONDS repeats the media probe, the Internet address and TCP\n"
                "                  1720 and UDP out every SECONDS (at least 10), a line\n"
                "                  each, until Ctrl-C; then a summary\n"
                "  --timers        --deep, and how long the router keeps a silent call's UDP\n"
                "                  mapping and TCP connection (about 3.5 minutes; Ctrl-C\n"
                "                  ends it with what is known)\n"
                "  --echo-url URL  ask this address-echo page instead of\n"
                "                  %s\n"
                "  --stun HOST[:PORT]  the STUN server of --deep (the echo page's host,\n"
                "                  port 3478, unless named)\n"
                "  -h, --help      this text\n"
                "  -V, --version   the program's version\n"
                "\n"
                "Exit status: 0 when both addresses were found, 1 when one or both were not,\n"
                "2 for a usage error.\n",
                name, name, plainRun, builtInUrl);
}
