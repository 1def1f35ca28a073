// The facts of --deep beyond the dialog's verdict, and the readiness
// answers judged from them, written as text and as JSON from the one
// record that reach/deep_check.h fills; none of them changes whether the
// report is complete.
#pragma once

#include <cstdio>

#include "app/json_writer.h"
#include "app/report.h"
#include "reach/deep_check.h"

// The answers, each with why and what to do: they come before the
// report's three lines.
void WriteReadinessReport(std::FILE* out, const DeepFacts* facts);

// The facts, one a line, after the report's three.
void WriteDeepTextReport(std::FILE* out, const DeepFacts* facts);

// The keys of --deep, after the report's own, in the object open in json.
void WriteJsonDeepReport(JsonWriter* json, const DeepFacts* facts);

// The same lines as the two text writers write, gathered.
void ReadinessLines(const DeepFacts* facts, ReportLines* lines);
void DeepFactLines(const DeepFacts* facts, ReportLines* lines);

// An answer's words in the text report ("with a port forward"), for its
// JSON word.
const char* AnswerText(const char* word);

// "media" as the deep report has it (null when unmeasured), and its four
// figures alone, in the object open in json.
void WriteJsonQuality(JsonWriter* json, const MediaQuality* quality);
void WriteJsonFigures(JsonWriter* json, const MediaQuality* quality);
