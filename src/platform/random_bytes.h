// Bytes from the system's own source of randomness, for what a stranger
// must not guess.
#pragma once

// Fills count bytes; false when the system's source cannot be read.
bool FillRandomBytes(unsigned char* bytes, int count);
