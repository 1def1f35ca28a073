// One JSON object written as it goes, on one line: the writer keeps the
// nesting and the commas, so that a value is given only its key.
#pragma once

#include <cstdio>

#include "reach/fact.h"

// The deepest nesting the program writes is three.
const int kJsonDepthLimit = 8;

struct JsonWriter {
    std::FILE* out;
    int depth;                     // the objects and arrays open
    char closers[kJsonDepthLimit]; // what closes each
    bool filled[kJsonDepthLimit];  // whether each has a value yet
};

// A writer that has written nothing yet.
void StartJson(JsonWriter* json, std::FILE* out);

// Each value goes in the object or array open now, under key (null in an
// array, and for the outermost object).
void JsonOpenObject(JsonWriter* json, const char* key);
void JsonOpenArray(JsonWriter* json, const char* key);
void JsonClose(JsonWriter* json); // the innermost object or array

// A string of the text, its bytes read as Latin-1 (the resources' texts
// are), in printable ASCII; null for no text.
void JsonText(JsonWriter* json, const char* key, const char* text);
void JsonFact(JsonWriter* json, const char* key, Fact fact); // true, false or null
void JsonBool(JsonWriter* json, const char* key, bool value);
void JsonInteger(JsonWriter* json, const char* key, long value);
void JsonDecimal(JsonWriter* json, const char* key, double value); // one decimal
void JsonNull(JsonWriter* json, const char* key);
