#include "reach/token.h"

#include <cstring>

#include "platform/random_bytes.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";
const int kTokenLimit = 32;

int HexDigit(char c) {
    const char* digit = c != '\0' ? std::strchr(kHexDigits, c) : nullptr;
    return digit != nullptr ? (int)(digit - kHexDigits) : -1;
}

} // namespace

void WriteHex(const unsigned char* bytes, int count, char* text) {
    for (int i = 0; i < count; ++i) {
        text[2 * i] = kHexDigits[bytes[i] >> 4];
        text[2 * i + 1] = kHexDigits[bytes[i] & 0xf];
    }
    text[2 * count] = '\0';
}

int ReadHex(const char* text, unsigned char* bytes, int size) {
    int count = 0;
    for (; text[0] != '\0' && count < size; text += 2, ++count) {
        int high = HexDigit(text[0]);
        int low = HexDigit(text[1]);
        if (high < 0 || low < 0) {
            return -1;
        }
        bytes[count] = (unsigned char)(high << 4 | low);
    }
    return text[0] == '\0' ? count : -1;
}

bool MakeToken(int count, char* text) {
    unsigned char bytes[kTokenLimit];
    if (count > kTokenLimit || !FillRandomBytes(bytes, count)) {
        return false;
    }
    WriteHex(bytes, count, text);
    return true;
}
