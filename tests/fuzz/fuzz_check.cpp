#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

void FuzzCheck(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}
