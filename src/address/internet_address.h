// The IPv4 address under which the outside world sees the machine, as the
// address-echo page reports it.
#pragma once

// 1 with the dotted address written into text (at least kDottedAddressSize bytes,
// address/dotted_address.h), else 0 with text untouched.
int GetInternetAddress(char* text);
int FetchInternetAddress(unsigned char* octets);

// The echo page that the lookup asks, in the form that SplitUrl reads: the
// build's own unless the program names another before its first lookup.
extern const char* g_echoUrl;
