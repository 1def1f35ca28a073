// Tokens that only one run knows, and the lowercase hex that they and the
// echoed Setup travel in.
#pragma once

// count bytes as 2 * count lowercase hex digits, the high nibble first, and
// a terminator.
void WriteHex(const unsigned char* bytes, int count, char* text);

// The bytes of lowercase hex text, at most size of them; -1 when the text
// is not that.
int ReadHex(const char* text, unsigned char* bytes, int size);

// A token of count fresh random bytes, as hex (2 * count + 1 characters);
// false when the system has no randomness to give, as a token that can be
// guessed would let anyone answer for this machine.
bool MakeToken(int count, char* text);
