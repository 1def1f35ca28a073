// The facts of --deep as one page to look at: the path drawn with what
// passes each way, the readiness answers, a call's packets as a plot and
// the facts as the text report words them; with --watch, the rounds so far.
// Self-contained (inline style and SVG, nothing fetched), so that it opens
// offline in any browser.
#pragma once

#include "app/report.h"
#include "reach/deep_check.h"
#include "reach/watch_history.h"

// Whether the page could be written at path ("-" is standard output),
// asked before anything runs; a file that was not there is not left behind.
bool HtmlFileWritable(const char* path);

// Writes the page afresh; history is null for one run. False when the file
// cannot be written.
bool WriteHtmlFile(const char* path, const DetectionReport* report, const DeepFacts* facts,
                   const WatchHistory* history);
