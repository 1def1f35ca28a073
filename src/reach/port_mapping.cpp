// The router's own answer about port mapping: UPnP through miniupnpc, then
// NAT-PMP through libnatpmp. Only questions are asked; no mapping is made.
// miniupnpc bounds each read but neither the whole exchange nor what it
// keeps of a device's description, so UPnP is asked in a child process of
// bounded time and memory.
#include "reach/port_mapping.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>

#include <cstdint>
#include <cstring>

#include "address/dotted_address.h"
#include "http/url.h"
#include "platform/platform.h"

namespace {

// Each answer is waited for this long after the last one: a router answers
// within milliseconds, and one that is not there costs the whole wait.
const int kDiscoveryMs = 2000;
const int kNatPmpMs = 2000;
// The device's description and the questions after the discovery: a router
// answers them within milliseconds too.
const int kQuestionsMs = 2000;
// What the child may map beyond the program: a router's description is a
// few KiB.
const long long kUpnpBytes = 4 << 20;

// The search asks for all three at once and waits once, instead of waiting
// out each kind in turn.
const char* const kGatewayKinds[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                     "urn:schemas-upnp-org:service:WANIPConnection:1",
                                     "urn:schemas-upnp-org:service:WANPPPConnection:1", nullptr};

// An external address that the router reports as 0.0.0.0, or as no address
// at all, is none.
bool CopyExternalAddress(uint32_t address, char* external) {
    if (address == INADDR_NONE || address == 0) {
        return false;
    }
    CopyDottedAddress(address, external);
    return true;
}

// The default gateway, as libnatpmp finds it (no packet is sent for that),
// written as a dotted address; false when there is none.
bool FindGateway(char* gateway) {
    natpmp_t session;
    if (initnatpmp(&session, 0, 0) < 0) {
        return false;
    }
    CopyDottedAddress(session.gateway, gateway);
    closenatpmp(&session);
    return true;
}

// Whether url is an HTTP URL on exactly that host.
bool IsOnHost(const char* url, const char* host) {
    UrlParts parts;
    SplitUrlParts(url, &parts);
    return std::strcmp(parts.scheme, "HTTP") == 0 && std::strcmp(parts.host, host) == 0;
}

// Only the default gateway's devices are believed: anyone on the LAN can
// answer the search and name a description on any host at all.
struct UPNPDev* KeepGatewayDevices(struct UPNPDev* devices, const char* gateway) {
    struct UPNPDev* kept = nullptr;
    struct UPNPDev* dropped = nullptr;
    while (devices != nullptr) {
        struct UPNPDev* next = devices->pNext;
        struct UPNPDev** list = IsOnHost(devices->descURL, gateway) ? &kept : &dropped;
        devices->pNext = *list;
        *list = devices;
        devices = next;
    }
    freeUPNPDevlist(dropped);
    return kept;
}

// The default gateway's own valid gateway device, connected or not, when
// one answered; the external address is written only when it reports a
// usable one.
void AskUpnp(PortMapping* mapping) {
    char gateway[kDottedAddressSize];
    if (!FindGateway(gateway)) {
        return;
    }
    int error = 0;
    struct UPNPDev* devices =
        KeepGatewayDevices(upnpDiscoverDevices(kGatewayKinds, kDiscoveryMs, nullptr, "",
                                               UPNP_LOCAL_PORT_ANY, 0, 2, &error, 1),
                           gateway);
    if (devices == nullptr) {
        return;
    }
    struct UPNPUrls urls;
    struct IGDdatas data;
    char lanAddress[64];
    int found = UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof(lanAddress));
    freeUPNPDevlist(devices);
    if (found == 0) {
        return;
    }
    if (found == 1 || found == 2) {
        mapping->protocol = kPortMappingUpnp;
        lstrcpynA(mapping->gateway, gateway, sizeof(mapping->gateway));
        char external[40] = "";
        if (UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, external) == 0) {
            CopyExternalAddress(inet_addr(external), mapping->externalAddress);
        }
    }
    FreeUPNPUrls(&urls);
}

// The child answers with its whole record; no child, no UPnP.
bool AskUpnpBounded(PortMapping* mapping) {
    BoundedChild child;
    int started = StartBoundedChild(&child, kDiscoveryMs + kQuestionsMs, kUpnpBytes);
    if (started == kInChild) {
        AskUpnp(mapping);
        AnswerParent(&child, mapping, sizeof(*mapping));
    }
    return started == kInParent && AwaitChild(&child, mapping, sizeof(*mapping)) &&
           mapping->protocol == kPortMappingUpnp;
}

// libnatpmp repeats the request with doubling waits for about a minute;
// here it gets kNatPmpMs in all.
bool AskNatPmp(PortMapping* mapping) {
    natpmp_t session;
    if (initnatpmp(&session, 0, 0) < 0) {
        return false;
    }
    long long deadline = SteadyMilliseconds() + kNatPmpMs;
    natpmpresp_t response;
    std::memset(&response, 0, sizeof(response));
    int result = sendpublicaddressrequest(&session);
    while (result >= 0 || result == NATPMP_TRYAGAIN) {
        struct timeval retry;
        getnatpmprequesttimeout(&session, &retry);
        long long wait = (long long)retry.tv_sec * 1000 + retry.tv_usec / 1000;
        if (SteadyMilliseconds() >= deadline) {
            break;
        }
        WaitForSocket(session.s, kWaitToReceive,
                      DeadlineWithin(wait > 0 ? (int)wait : 0, deadline));
        result = readnatpmpresponseorretry(&session, &response);
        if (result >= 0) {
            break;
        }
    }
    bool answered =
        result >= 0 && response.type == NATPMP_RESPTYPE_PUBLICADDRESS &&
        CopyExternalAddress(response.pnu.publicaddress.addr.s_addr, mapping->externalAddress);
    if (answered) {
        mapping->protocol = kPortMappingNatPmp;
        CopyDottedAddress(session.gateway, mapping->gateway);
    }
    closenatpmp(&session);
    return answered;
}

} // namespace

void FindPortMapping(PortMapping* mapping) {
    std::memset(mapping, 0, sizeof(*mapping));
    bool upnp = AskUpnpBounded(mapping);
    if (upnp && mapping->externalAddress[0] != '\0') {
        return;
    }
    // A device that answered without a usable address is kept as the
    // answer, unless NAT-PMP gives one.
    PortMapping natPmp;
    std::memset(&natPmp, 0, sizeof(natPmp));
    if (AskNatPmp(&natPmp)) {
        *mapping = natPmp;
    }
}
