// The command's command line: its options, read once at start.
#pragma once

const int kCommandErrorSize = 256;

struct CommandLine {
    bool report;                   // --report
    bool json;                     // --json
    bool deep;                     // --deep, with --report or --json; set by --timers
    bool timers;                   // --timers
    bool help;                     // --help, -h
    bool version;                  // --version, -V
    const char* echoUrl;           // --echo-url; null for the built-in page
    const char* stunServer;        // --stun; null for the echo page's host
    const char* htmlFile;          // --html, "-" for standard output; null for none
    int watchSeconds;              // --watch; 0 for one run
    char error[kCommandErrorSize]; // what was wrong, when reading failed
};

// False for a usage error (an unknown option, an argument too many, an
// option without its value, a URL that names no HTTP host, --report with
// --json, --deep without either or --html, a --watch below its floor),
// with the problem in error. --html implies --deep; --timers implies
// --deep, and runs the report without --json.
// The fewest seconds between --watch's rounds: 10, or for tests the
// environment's MARVOLY_WATCH_FLOOR when that is less.
int WatchFloor();
bool ReadCommandLine(int argc, char** argv, CommandLine* command);

// The usage text of the program that users call name, ending its first
// paragraph with what it does without --report or --json (plainRun), and
// naming the echo page that it asks by default.
void PrintUsage(const char* name, const char* plainRun, const char* builtInUrl);
