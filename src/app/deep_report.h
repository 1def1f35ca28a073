// The facts of --deep beyond the dialog's verdict, and the readiness
// answers judged from them, written as text and as JSON from the one
// record that reach/deep_check.h fills; none of them changes whether the
// report is complete.
#pragma once

#include <cstdio>

#include "app/json_writer.h"
#include "reach/deep_check.h"

// The answers, each with why and what to do: they come before the
// report's three lines.
void WriteReadinessReport(std::FILE* out, const DeepFacts* facts);

// The facts, one a line, after the report's three.
void WriteDeepTextReport(std::FILE* out, const DeepFacts* facts);

// The keys of --deep, after the report's own, in the object open in json.
void WriteJsonDeepReport(JsonWriter* json, const DeepFacts* facts);
