// An address value as the dotted text that both lookups hand out.
#pragma once

#include <cstdint>

// Writes inet_ntoa's text of address (four octets in network order) into
// text, which holds at least 16 bytes.
void CopyDottedAddress(uint32_t address, char* text);
