// The router's port mapping on Windows: the libraries that ask it over UPnP
// and NAT-PMP are not built for Windows here, so the router is not asked,
// and the report says so rather than "none found".
#include "reach/port_mapping.h"

#include <cstring>

void FindPortMapping(PortMapping* mapping) {
    std::memset(mapping, 0, sizeof(*mapping));
    mapping->unasked = "not checked on Windows";
}
