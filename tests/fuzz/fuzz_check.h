// What the harnesses share: a failed property ends the run loudly, so that
// libFuzzer keeps the input and the replay test fails.
#pragma once

#include <cstddef>
#include <cstdint>

void FuzzCheck(bool holds, const char* property);

// The libFuzzer entry point; the replay main calls it for committed inputs.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
