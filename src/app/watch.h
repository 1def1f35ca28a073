// --watch: the quick facts and a call's packets again every few seconds,
// one line each (or one JSON object a line), until the program is asked to
// end; then what the rounds came to.
#pragma once

#include "app/command_line.h"
#include "app/report.h"
#include "reach/deep_check.h"

// Rounds every command->watchSeconds; with --html the page, from report
// and facts (a deep run's), rewritten after each. The socket library must
// be started. kExitFound when the last round found the Internet address.
int RunWatch(const CommandLine* command, const DetectionReport* report, const DeepFacts* facts);
