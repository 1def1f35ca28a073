// An address value as the dotted text that both lookups hand out.
#pragma once

#include <cstdint>

// The room for a dotted address text: four numbers of three digits, three
// dots and the terminator.
const int kDottedAddressSize = 16;

// Writes inet_ntoa's text of address (four octets in network order) into
// text, which holds at least kDottedAddressSize bytes.
void CopyDottedAddress(uint32_t address, char* text);
