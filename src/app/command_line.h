// The command's command line: its options, read once at start.
#pragma once

const int kCommandErrorSize = 256;

struct CommandLine {
    bool report;                   // --report
    bool json;                     // --json
    bool deep;                     // --deep, with --report or --json
    bool help;                     // --help, -h
    bool version;                  // --version, -V
    const char* echoUrl;           // --echo-url; null for the built-in page
    const char* stunServer;        // --stun; null for the echo page's host
    char error[kCommandErrorSize]; // what was wrong, when reading failed
};

// False for a usage error (an unknown option, an argument too many, an
// option without its value, a URL that names no HTTP host, --report with
// --json, --deep without either), with the problem in error.
bool ReadCommandLine(int argc, char** argv, CommandLine* command);

// The usage text of the program that users call name, ending its first
// paragraph with what it does without --report or --json (plainRun), and
// naming the echo page that it asks by default.
void PrintUsage(const char* name, const char* plainRun, const char* builtInUrl);
