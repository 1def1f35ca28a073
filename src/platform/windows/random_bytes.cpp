// The system's randomness through the C runtime's rand_s, which asks the
// system's generator and needs no library beyond msvcrt.
#define _CRT_RAND_S
#include <stdlib.h>

#include "platform/platform.h"

bool FillRandomBytes(unsigned char* bytes, int count) {
    for (int i = 0; i < count; i += 4) {
        unsigned int value = 0;
        if (rand_s(&value) != 0) {
            return false;
        }
        for (int j = i; j < count && j < i + 4; ++j) {
            bytes[j] = (unsigned char)(value >> (8 * (j - i)));
        }
    }
    return true;
}
