// The report's JSON strings against Python's json module, byte by byte: the
// program's texts are Latin-1, and every byte must come out as json.dumps
// writes that character.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/deep_report.h"
#include "app/report.h"

namespace {

std::string Escaped(const char* text) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    JsonWriter json;
    StartJson(&json, out);
    JsonText(&json, nullptr, text);
    std::fclose(out);
    std::string escaped(buffer, size);
    std::free(buffer);
    return escaped;
}

} // namespace

TEST(JsonString, EveryByteAsPythonWritesIt) {
    std::FILE* python = popen("python3 -c 'import json\n"
                              "for b in range(1, 256): print(json.dumps(chr(b)))'",
                              "r");
    ASSERT_NE(nullptr, python);
    char line[64];
    int byte = 1;
    for (; byte < 256 && std::fgets(line, sizeof(line), python) != nullptr; ++byte) {
        std::string expected(line);
        expected.pop_back(); // the line's end
        const char text[] = {(char)byte, '\0'};
        EXPECT_EQ(expected, Escaped(text)) << "byte " << byte;
    }
    EXPECT_EQ(256, byte);
    EXPECT_EQ(0, pclose(python));
}

namespace {

std::string Written(const DeepFacts* deep, bool json) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    if (json) {
        DetectionReport report = {};
        JsonWriter writer;
        StartJson(&writer, out);
        JsonOpenObject(&writer, nullptr);
        WriteJsonReport(&writer, &report);
        WriteJsonDeepReport(&writer, deep);
    } else {
        WriteDeepTextReport(out, deep);
    }
    std::fclose(out);
    std::string written(buffer, size);
    std::free(buffer);
    // The keys of the router and the call-back come after the note, which
    // is empty here, and before the probes' (the first three lines of the
    // text).
    if (json) {
        std::size_t from = written.find("\"note\": \"\"") + 10;
        return written.substr(from, written.find(", \"tcp_1720_out\"") - from) + "}\n";
    }
    std::size_t end = 0;
    for (int line = 0; line < 3; ++line) {
        end = written.find('\n', end) + 1;
    }
    return written.substr(0, end);
}

struct DeepCase {
    PortMappingProtocol protocol;
    const char* external;
    Fact doubleNatFact;
    IncomingCall call;
    const char* lines[3]; // port mapping, double NAT, incoming calls, as written
    const char* json;
    const char* unasked = nullptr; // why the router was not asked, where it was not
};

// Every wording.
const DeepCase kDeepCases[] = {
    {kPortMappingNone, "", kFactUnknown, kCallUnreachable, "none found", "unknown",
     "TCP port 1720 is not reachable from the Internet",
     ", \"port_mapping\": null, \"port_mapping_reason\": null, \"double_nat\": null, "
     "\"inbound_tcp_1720\": \"unreachable\", "
     "\"inbound_tcp_1720_reason\": null}\n"},
    {kPortMappingUpnp, "11.84.0.1", kFactNo, kCallReachable,
     "UPnP on 10.84.0.1, external address 11.84.0.1", "no",
     "TCP port 1720 is reachable from the Internet",
     ", \"port_mapping\": {\"protocol\": \"upnp\", \"gateway\": \"10.84.0.1\", "
     "\"external_address\": \"11.84.0.1\"}, \"port_mapping_reason\": null, \"double_nat\": false, "
     "\"inbound_tcp_1720\": "
     "\"reachable\", \"inbound_tcp_1720_reason\": null}\n"},
    {kPortMappingNatPmp, "192.168.1.2", kFactYes, kCallPortInUse,
     "NAT-PMP on 10.84.0.1, external address 192.168.1.2",
     "yes (the router's external address 192.168.1.2 is not public)",
     "not tested (port 1720 in use on this machine)",
     ", \"port_mapping\": {\"protocol\": \"nat-pmp\", \"gateway\": \"10.84.0.1\", "
     "\"external_address\": \"192.168.1.2\"}, \"port_mapping_reason\": null, \"double_nat\": true, "
     "\"inbound_tcp_1720\": null, "
     "\"inbound_tcp_1720_reason\": \"port 1720 in use on this machine\"}\n"},
    {kPortMappingUpnp, "100.127.255.255", kFactYes, kCallNoCallBack,
     "UPnP on 10.84.0.1, external address 100.127.255.255",
     "yes (the router's external address 100.127.255.255 is not public)",
     "not tested (the echo service cannot call back)", nullptr},
    {kPortMappingUpnp, "11.84.0.1", kFactUnknown, kCallNoInternet,
     "UPnP on 10.84.0.1, external address 11.84.0.1", "unknown",
     "not tested (the Internet lookup failed)",
     ", \"port_mapping\": {\"protocol\": \"upnp\", \"gateway\": \"10.84.0.1\", "
     "\"external_address\": \"11.84.0.1\"}, \"port_mapping_reason\": null, \"double_nat\": null, "
     "\"inbound_tcp_1720\": null, "
     "\"inbound_tcp_1720_reason\": \"the Internet lookup failed\"}\n"},
    {kPortMappingUpnp, "", kFactYes, kCallUnreachable,
     "UPnP on 10.84.0.1, no public external address",
     "yes (the router has no public external address)",
     "TCP port 1720 is not reachable from the Internet",
     ", \"port_mapping\": {\"protocol\": \"upnp\", \"gateway\": \"10.84.0.1\", "
     "\"external_address\": null}, \"port_mapping_reason\": null, \"double_nat\": true, "
     "\"inbound_tcp_1720\": \"unreachable\", "
     "\"inbound_tcp_1720_reason\": null}\n"},
    {kPortMappingNone, "", kFactUnknown, kCallReachable, "not checked on Windows", "unknown",
     "TCP port 1720 is reachable from the Internet",
     ", \"port_mapping\": null, \"port_mapping_reason\": \"not checked on Windows\", "
     "\"double_nat\": null, \"inbound_tcp_1720\": \"reachable\", \"inbound_tcp_1720_reason\": "
     "null}\n",
     "not checked on Windows"},
};

} // namespace

TEST(DeepReport, EachFactAsWritten) {
    for (const DeepCase& test : kDeepCases) {
        DeepFacts deep = {};
        deep.portMapping.protocol = test.protocol;
        deep.portMapping.unasked = test.unasked;
        lstrcpynA(deep.portMapping.gateway, test.protocol != kPortMappingNone ? "10.84.0.1" : "",
                  16);
        lstrcpynA(deep.portMapping.externalAddress, test.external, 16);
        deep.doubleNat = test.doubleNatFact;
        deep.incomingCall = test.call;
        ReadinessFacts nothing = {};
        JudgeReadiness(&nothing, &deep.readiness);
        EXPECT_EQ(std::string("Port mapping:         ") + test.lines[0] +
                      "\nDouble NAT:           " + test.lines[1] +
                      "\nIncoming calls:       " + test.lines[2] + "\n",
                  Written(&deep, false));
        if (test.json != nullptr) {
            EXPECT_EQ(test.json, Written(&deep, true));
        }
    }
}
