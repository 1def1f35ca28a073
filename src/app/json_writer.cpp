#include "app/json_writer.h"

#include <cstring>

namespace {

// The characters that JSON writes with a short escape, and their letters;
// every other control or non-ASCII byte becomes a \u escape.
const char kShortEscapes[] = "\"\\\b\f\n\r\t";
const char kShortEscapeLetters[] = "\"\\bfnrt";

void WriteChar(std::FILE* out, unsigned char c) {
    const char* escape = c != 0 ? std::strchr(kShortEscapes, c) : nullptr;
    if (escape != nullptr) {
        std::fprintf(out, "\\%c", kShortEscapeLetters[escape - kShortEscapes]);
    } else if (c < 0x20 || c > 0x7E) {
        std::fprintf(out, "\\u%04x", c);
    } else {
        std::fputc(c, out);
    }
}

void WriteString(std::FILE* out, const char* text) {
    std::fputc('"', out);
    for (const char* at = text; *at != '\0'; ++at) {
        WriteChar(out, (unsigned char)*at);
    }
    std::fputc('"', out);
}

// The separator before a value, and its key.
void Key(JsonWriter* json, const char* key) {
    if (json->depth > 0 && json->filled[json->depth - 1]) {
        std::fputs(", ", json->out);
    }
    if (json->depth > 0) {
        json->filled[json->depth - 1] = true;
    }
    if (key != nullptr) {
        WriteString(json->out, key);
        std::fputs(": ", json->out);
    }
}

void Open(JsonWriter* json, const char* key, char opener, char closer) {
    Key(json, key);
    std::fputc(opener, json->out);
    json->closers[json->depth] = closer;
    json->filled[json->depth] = false;
    ++json->depth;
}

} // namespace

void StartJson(JsonWriter* json, std::FILE* out) {
    json->out = out;
    json->depth = 0;
}

void JsonOpenObject(JsonWriter* json, const char* key) {
    Open(json, key, '{', '}');
}

void JsonOpenArray(JsonWriter* json, const char* key) {
    Open(json, key, '[', ']');
}

void JsonClose(JsonWriter* json) {
    --json->depth;
    std::fputc(json->closers[json->depth], json->out);
}

void JsonText(JsonWriter* json, const char* key, const char* text) {
    Key(json, key);
    if (text != nullptr) {
        WriteString(json->out, text);
    } else {
        std::fputs("null", json->out);
    }
}

void JsonFact(JsonWriter* json, const char* key, Fact fact) {
    Key(json, key);
    std::fputs(fact == kFactYes ? "true" : fact == kFactNo ? "false" : "null", json->out);
}

void JsonBool(JsonWriter* json, const char* key, bool value) {
    JsonFact(json, key, value ? kFactYes : kFactNo);
}

void JsonInteger(JsonWriter* json, const char* key, long value) {
    Key(json, key);
    std::fprintf(json->out, "%ld", value);
}

void JsonDecimal(JsonWriter* json, const char* key, double value) {
    Key(json, key);
    std::fprintf(json->out, "%.1f", value);
}

void JsonNull(JsonWriter* json, const char* key) {
    JsonText(json, key, nullptr);
}
