// The report's JSON strings against Python's json module, byte by byte: the
// program's texts are Latin-1, and every byte must come out as json.dumps
// writes that character.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/report.h"

namespace {

std::string Escaped(const char* text) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    WriteJsonString(out, text);
    std::fclose(out);
    std::string escaped(buffer, size);
    std::free(buffer);
    return escaped;
}

} // namespace

TEST(JsonString, EveryByteAsPythonWritesIt) {
    std::FILE* python = popen("python3 -c 'import json\n"
                              "for b in range(1, 256): print(json.dumps(chr(b)))'",
                              "r");
    ASSERT_NE(nullptr, python);
    char line[64];
    int byte = 1;
    for (; byte < 256 && std::fgets(line, sizeof(line), python) != nullptr; ++byte) {
        std::string expected(line);
        expected.pop_back(); // the line's end
        const char text[] = {(char)byte, '\0'};
        EXPECT_EQ(expected, Escaped(text)) << "byte " << byte;
    }
    EXPECT_EQ(256, byte);
    EXPECT_EQ(0, pclose(python));
}
