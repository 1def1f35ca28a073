// The IPv4 address that the machine holds itself.
#pragma once

#include <cstdint>

// 1 with the dotted address written into text (at least kDottedAddressSize bytes,
// address/dotted_address.h), else 0 with text untouched.
int GetLocalAddress(char* text);
int ResolveHostAddress(const char* hostName, uint32_t* address);
uint32_t ChooseHostAddress(char** addressList);
int IsPrivateAddress(const unsigned char* octets);
