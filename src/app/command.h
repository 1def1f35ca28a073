// The command's flow, the same in the native program and in the Windows
// console program: the command line read, the usage text, the version line
// and the report of one detection run. Each program's entry keeps only what
// is its platform's: the dialog, and the way it reads its own version.
#pragma once

#include <cstdio>

#include "app/command_line.h"

const int kExitFound = 0;
const int kExitNotFound = 1;
const int kExitUsage = 2;
// StartCommand's answer when the program goes on with its command line.
const int kCommandGoesOn = -1;

// What sets one program apart in its texts: the name users type, and what
// it does without --report or --json, as the usage text's sentence ends.
struct CommandProgram {
    const char* name;
    const char* plainRun;
};

// The version record's file version, most significant first, and its
// product name.
struct ProgramVersion {
    unsigned numbers[4];
    char productName[64];
};

// Each program's own version record, read as its platform reads it (defined
// by the program's entry file); false when it carries none.
bool LoadProgramVersion(ProgramVersion* version);

// Reads the command line and answers what needs no run: a usage error, said
// on standard error (kExitUsage), --help and --version. Otherwise points
// the run at --echo-url's page and gives kCommandGoesOn.
int StartCommand(const CommandProgram* program, int argc, char** argv, CommandLine* command);

// One detection run, with the facts of --deep when asked, written to
// standard output as text or JSON; kExitFound when both addresses were
// found, else kExitNotFound. --timers tells what it waits for on progress
// (a terminal; null for nowhere).
int RunReport(const CommandProgram* program, const CommandLine* command, std::FILE* progress);
