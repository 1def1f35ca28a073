// The Setup probe sends the one Setup of src/h323 and reads two lines back
// (service/echo/marvoly-h323.js): the message as it arrived, in hex, and
// the echo host's word on its call to the H.245 port. The call itself
// comes in between, on the listener opened for it, and is answered with
// the token that only this run knows; the way in counts as open when this
// run took the call and the echo host heard the answer.
#include "reach/call_signalling.h"

#include <cstring>

#include "h323/setup_message.h"
#include "platform/platform.h"
#include "platform/random_bytes.h"
#include "reach/listener.h"

namespace {

const unsigned short kSignallingPort = 1720;
const unsigned short kGatekeeperPort = 1719;
const int kConnectMs = 5000;
const int kEchoMs = 2000;
const int kVerdictMs = 3500; // the echo host's own 3 s, and the way back
const int kLineLimit = 1024;
const int kGatekeeperResendMs = 500;
const int kGatekeeperTries = 4; // 2 s in all
const int kTokenDigits = 2 * kSetupTokenSize;

// Lines from one connection: what came after a line stays for the next.
struct LineReader {
    SOCKET socket;
    char data[kLineLimit + 1];
    int used;
};

int MillisecondsLeft(long long deadline) {
    long long left = deadline - SteadyMilliseconds();
    return left > 0 ? (int)left : 0;
}

// One line, without its newline, into line (kLineLimit + 1 bytes); false
// when none came whole before deadline.
bool ReadLine(LineReader* reader, char* line, long long deadline) {
    for (;;) {
        char* end = (char*)std::memchr(reader->data, '\n', (size_t)reader->used);
        if (end != nullptr) {
            int length = (int)(end - reader->data);
            std::memcpy(line, reader->data, (size_t)length);
            line[length] = '\0';
            reader->used -= length + 1;
            std::memmove(reader->data, end + 1, (size_t)reader->used);
            return true;
        }
        if (reader->used == kLineLimit ||
            WaitForSocket(reader->socket, kWaitToReceive, MillisecondsLeft(deadline), deadline) !=
                0) {
            return false;
        }
        int got = recv(reader->socket, reader->data + reader->used, kLineLimit - reader->used, 0);
        if (got <= 0) {
            return false;
        }
        reader->used += got;
    }
}

bool SendAll(SOCKET socket, const char* data, int length, long long deadline) {
    while (length > 0) {
        if (WaitForSocket(socket, kWaitToSend, MillisecondsLeft(deadline), deadline) != 0) {
            return false;
        }
        int sent = send(socket, data, length, 0);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        length -= sent;
    }
    return true;
}

void WriteHex(const unsigned char* bytes, int count, char* text) {
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0xf];
    }
    text[2 * count] = '\0';
}

int HexDigit(char c) {
    const char* digit = c != '\0' ? std::strchr("0123456789abcdef", c) : nullptr;
    return digit != nullptr ? (int)(digit - "0123456789abcdef") : -1;
}

// The bytes of lowercase hex text, at most size of them; -1 when the text
// is not that.
int ReadHex(const char* text, unsigned char* bytes, int size) {
    int count = 0;
    for (; text[0] != '\0' && count < size; text += 2, ++count) {
        int high = HexDigit(text[0]);
        int low = HexDigit(text[1]);
        if (high < 0 || low < 0) {
            return -1;
        }
        bytes[count] = (unsigned char)(high << 4 | low);
    }
    return text[0] == '\0' ? count : -1;
}

bool ResolveHost(const char* host, unsigned short port, struct sockaddr_in* address) {
    struct hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr) {
        return false;
    }
    std::memset(address, 0, sizeof(*address));
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    std::memcpy(&address->sin_addr, entry->h_addr_list[0], 4);
    return true;
}

// A socket of kind towards the echo host's port, with its address; or
// INVALID_SOCKET when the host does not resolve or no socket can be had.
SOCKET OpenTowards(const char* host, unsigned short port, int kind, struct sockaddr_in* address) {
    return ResolveHost(host, port, address) ? socket(AF_INET, kind, 0) : INVALID_SOCKET;
}

bool LocalName(SOCKET socket, struct sockaddr_in* address) {
    int length = sizeof(*address);
    return getsockname(socket, (struct sockaddr*)address, &length) == 0;
}

// A listener on an ephemeral port of every local address.
SOCKET ListenForH245(unsigned short* port) {
    SOCKET listener = ListenOnPort(0);
    struct sockaddr_in address;
    if (listener != INVALID_SOCKET && !LocalName(listener, &address)) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = listener != INVALID_SOCKET ? ntohs(address.sin_port) : 0;
    return listener;
}

// What the echo says against what was sent: a changed byte counts towards
// rewriting when it belongs to an address or port, else among the altered,
// as does every byte that one of the two has and the other lacks.
void CompareEcho(const unsigned char* sent, const unsigned char* echoed, int echoedLength,
                 CallSignalling* facts) {
    facts->rewritesAddresses = kFactNo;
    facts->alteredCount = 0;
    int longer = echoedLength > kSetupSize ? echoedLength : kSetupSize;
    for (int i = 0; i < longer; ++i) {
        bool inBoth = i < kSetupSize && i < echoedLength;
        if (inBoth && sent[i] == echoed[i]) {
            continue;
        }
        if (inBoth && IsSetupAddressByte(i)) {
            facts->rewritesAddresses = kFactYes;
        } else if (facts->alteredCount < kAlteredLimit) {
            facts->alteredBytes[facts->alteredCount++] = i;
        }
    }
}

// The echo line "echo HEX" against what was sent; false when it is not one.
bool ReadEcho(LineReader* reader, const unsigned char* sent, long long deadline,
              CallSignalling* facts) {
    char line[kLineLimit + 1];
    unsigned char echoed[kLineLimit / 2];
    int length = -1;
    if (ReadLine(reader, line, deadline) && std::strncmp(line, "echo ", 5) == 0) {
        length = ReadHex(line + 5, echoed, sizeof(echoed));
    }
    if (length >= 0) {
        CompareEcho(sent, echoed, length, facts);
    }
    return length >= 0;
}

// Takes the call on the listener and answers it when it brings the token
// (hex digits), as it came: a line.
bool AnswerCallBack(SOCKET listener, const char* token, long long deadline) {
    SOCKET call = accept(listener, nullptr, nullptr);
    if (call == INVALID_SOCKET) {
        return false;
    }
    LineReader reader = {call, {}, 0};
    char line[kLineLimit + 1];
    char answer[kTokenDigits + 2];
    wsprintfA(answer, "%s\n", token);
    bool answered = ReadLine(&reader, line, deadline) && std::strcmp(line, token) == 0 &&
                    SendAll(call, answer, kTokenDigits + 1, deadline);
    closesocket(call);
    return answered;
}

// The echo host's word on its call-back, answering the call meanwhile.
void AwaitCallBack(LineReader* reader, SOCKET listener, const char* token, CallSignalling* facts) {
    long long deadline = SteadyMilliseconds() + kVerdictMs;
    bool answered = false;
    SOCKET watched[2] = {listener, reader->socket};
    while (!answered && std::memchr(reader->data, '\n', (size_t)reader->used) == nullptr &&
           WaitForSockets(watched, 2, MillisecondsLeft(deadline), deadline) == 0) {
        answered = AnswerCallBack(listener, token, deadline);
    }
    closesocket(listener);
    char line[kLineLimit + 1];
    bool told = ReadLine(reader, line, deadline);
    bool reached = told && std::strcmp(line, "h245 reached") == 0;
    bool unreached = told && std::strcmp(line, "h245 unreached") == 0;
    // Both ends must agree; a "reached" that this run did not answer was
    // answered by something else, so this machine was not reached.
    if (answered && reached) {
        facts->opensH245Pinhole = kFactYes;
    } else if (!answered && (reached || unreached)) {
        facts->opensH245Pinhole = kFactNo;
    }
}

// The Setup and what became of it, on a connection that is open.
void ProbeAlg(SOCKET connection, CallSignalling* facts) {
    struct sockaddr_in local;
    unsigned short h245Port = 0;
    SetupFields fields = {0, 0, 0, {}, {}};
    // Without tokens that a stranger cannot guess, no call is offered.
    if (!FillRandomBytes(fields.conferenceId, kSetupTokenSize) ||
        !FillRandomBytes(fields.callId, kSetupTokenSize)) {
        return;
    }
    SOCKET listener = LocalName(connection, &local) ? ListenForH245(&h245Port) : INVALID_SOCKET;
    if (listener == INVALID_SOCKET) {
        return;
    }
    fields.localAddress = local.sin_addr.s_addr;
    fields.h245Port = h245Port;
    fields.signalPort = ntohs(local.sin_port);
    unsigned char setup[kSetupSize];
    BuildSetup(&fields, setup);
    char token[kTokenDigits + 1];
    WriteHex(fields.conferenceId, kSetupTokenSize, token);
    LineReader reader = {connection, {}, 0};
    long long deadline = SteadyMilliseconds() + kEchoMs;
    if (SendAll(connection, (const char*)setup, kSetupSize, deadline) &&
        ReadEcho(&reader, setup, deadline, facts)) {
        AwaitCallBack(&reader, listener, token, facts);
    } else {
        closesocket(listener);
    }
}

} // namespace

void ProbeCallSignalling(const char* echoHost, CallSignalling* facts) {
    facts->tcp1720Out = kFactUnknown;
    facts->rewritesAddresses = kFactUnknown;
    facts->opensH245Pinhole = kFactUnknown;
    facts->alteredCount = -1;
    struct sockaddr_in echo;
    SOCKET connection = OpenTowards(echoHost, kSignallingPort, SOCK_STREAM, &echo);
    if (connection == INVALID_SOCKET) {
        return;
    }
    bool connected = ConnectWithTimeout(connection, (const struct sockaddr*)&echo, sizeof(echo),
                                        kConnectMs, SteadyMilliseconds() + kConnectMs) == 0;
    facts->tcp1720Out = connected ? kFactYes : kFactNo;
    if (connected) {
        ProbeAlg(connection, facts);
    }
    closesocket(connection);
}

void ProbeGatekeeperPort(const char* echoHost, GatekeeperPort* facts) {
    facts->udp1719Out = kFactUnknown;
    facts->seenFrom[0] = '\0';
    struct sockaddr_in echo;
    SOCKET probe = OpenTowards(echoHost, kGatekeeperPort, SOCK_DGRAM, &echo);
    if (probe == INVALID_SOCKET) {
        return;
    }
    facts->udp1719Out = kFactNo;
    // The echo host answers no datagram shorter than its answer could be.
    const char question[] = "marvoly gatekeeper port probe\n";
    char answer[32];
    int got = -1;
    long long deadline = SteadyMilliseconds() + kGatekeeperTries * kGatekeeperResendMs;
    bool open = connect(probe, (const struct sockaddr*)&echo, sizeof(echo)) == 0;
    for (int i = 0; open && got <= 0 && i < kGatekeeperTries; ++i) {
        open = send(probe, question, sizeof(question) - 1, 0) > 0;
        if (open && WaitForSocket(probe, kWaitToReceive, kGatekeeperResendMs, deadline) == 0) {
            got = recv(probe, answer, sizeof(answer) - 1, 0);
        }
    }
    closesocket(probe);
    if (got > 0) {
        facts->udp1719Out = kFactYes;
        answer[got] = '\0';
        answer[std::strcspn(answer, "\n")] = '\0';
        if (inet_addr(answer) != INADDR_NONE) {
            lstrcpynA(facts->seenFrom, answer, sizeof(facts->seenFrom));
        }
    }
}
