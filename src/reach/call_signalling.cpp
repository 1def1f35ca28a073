// The Setup probe sends the one Setup of src/h323 and, after it, a line
// with the control port; it reads three lines back
// (service/echo/marvoly-h323.js): the message as it arrived, in hex, and
// the echo host's words on its calls to the H.245 port and to the control
// port. The calls come in meanwhile, each on a listener of its own that
// answers with the token that only this run knows.
#include "reach/call_signalling.h"

#include <cstring>

#include "h323/setup_message.h"
#include "http/exchange.h"
#include "platform/platform.h"
#include "platform/random_bytes.h"
#include "reach/call_media.h"
#include "reach/listener.h"
#include "reach/token.h"

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

// The echo host's words (service/echo/marvoly-h323.js).
const char kEchoWord[] = "echo ";
const char kH245Word[] = "h245 ";
const char kControlWord[] = "control ";
const char* const kCallBackWords[] = {"reached", "unreached", "not-tried"};

enum Listener { kH245Listener, kControlListener, kListeners };

// Lines from one connection: what came after a line stays for the next.
struct LineReader {
    SOCKET socket;
    char data[kLineLimit + 1];
    int used;
};

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
            WaitForSocket(reader->socket, kWaitToReceive, deadline) != 0) {
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
        if (WaitForSocket(socket, kWaitToSend, deadline) != 0) {
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

// A socket of kind towards the echo host's port, with its address; or
// INVALID_SOCKET when the host does not resolve or no socket can be had.
SOCKET OpenTowards(const char* host, unsigned short port, int kind, struct sockaddr_in* address) {
    return ResolveEndpoint(host, port, address) ? socket(AF_INET, kind, 0) : INVALID_SOCKET;
}

// The echo line "echo HEX" against what was sent; false when it is not one.
bool ReadEcho(LineReader* reader, const unsigned char* sent, long long deadline,
              CallSignalling* facts) {
    char line[kLineLimit + 1];
    unsigned char echoed[kLineLimit / 2];
    int length = -1;
    if (ReadLine(reader, line, deadline) &&
        std::strncmp(line, kEchoWord, sizeof(kEchoWord) - 1) == 0) {
        length = ReadHex(line + sizeof(kEchoWord) - 1, echoed, sizeof(echoed));
    }
    if (length >= 0) {
        JudgeSetupEcho(sent, echoed, length, facts);
        JudgeMediaEcho(sent, echoed, length, &facts->media);
    }
    return length >= 0;
}

// The word of a line that starts with prefix; kWordNone for any other line.
CallBackWord ReadWord(const char* line, const char* prefix) {
    size_t length = std::strlen(prefix);
    for (int i = 0; std::strncmp(line, prefix, length) == 0 && i < 3; ++i) {
        if (std::strcmp(line + length, kCallBackWords[i]) == 0) {
            return (CallBackWord)(kWordReached + i);
        }
    }
    return kWordNone;
}

// The echo host's words on its two calls, as far as they come by deadline.
void ReadCallBackWords(LineReader* reader, long long deadline, CallBackSeen* seen) {
    char line[kLineLimit + 1];
    if (ReadLine(reader, line, deadline)) {
        seen->h245 = ReadWord(line, kH245Word);
    }
    if (seen->h245 != kWordNone && ReadLine(reader, line, deadline)) {
        seen->control = ReadWord(line, kControlWord);
    }
}

// The Setup and, after it in the same send, the control line.
int WriteCallMessage(const SetupFields* fields, unsigned short controlPort, unsigned char* setup,
                     char* message) {
    BuildSetup(fields, setup);
    std::memcpy(message, setup, kSetupSize);
    return kSetupSize + wsprintfA(message + kSetupSize, "%s%u\n", kControlWord, controlPort);
}

// Answering on both listeners while the echo host is heard out, and
// asking after the far end's media meanwhile; what answered which is noted
// in seen.
void HearCallBacks(SOCKET connection, const unsigned char* setup, const char* message, int length,
                   long long deadline, CallAnswer* answers, CallMedia* media, CallSignalling* facts,
                   CallBackSeen* seen) {
    LineReader reader = {connection, {}, 0};
    long long echoed = DeadlineWithin(kEchoMs, deadline);
    if (SendAll(connection, message, length, echoed) && ReadEcho(&reader, setup, echoed, facts)) {
        StartCallMedia(media, &facts->media, deadline);
        ReadCallBackWords(&reader, DeadlineWithin(kVerdictMs, deadline), seen);
    }
    FinishCallMedia(media);
    seen->h245Answered = FinishAnswering(&answers[kH245Listener]);
    seen->controlAnswered = FinishAnswering(&answers[kControlListener]);
}

// Both listeners, each answering for the whole probe; false, with none
// left open, when one cannot be had.
bool OpenListeners(const char* token, const char* reply, unsigned short* ports,
                   CallAnswer* answers) {
    int started = 0;
    for (; started < kListeners; ++started) {
        CallAnswer* answer = &answers[started];
        ports[started] = 0;
        answer->listener = ListenOnPort(&ports[started]);
        answer->request = token;
        answer->reply = reply;
        answer->milliseconds = kEchoMs + kVerdictMs;
        if (answer->listener == INVALID_SOCKET || !StartAnswering(answer)) {
            break;
        }
    }
    if (started == kListeners) {
        return true;
    }
    for (int i = 0; i <= started; ++i) {
        if (i < started) {
            FinishAnswering(&answers[i]);
        }
        if (answers[i].listener != INVALID_SOCKET) {
            closesocket(answers[i].listener);
        }
    }
    return false;
}

// The Setup and what became of it, on a connection to echo that is open.
void ProbeAlg(SOCKET connection, const struct sockaddr_in* echo, long long deadline,
              CallSignalling* facts) {
    struct sockaddr_in local;
    int size = sizeof(local);
    SetupFields fields = {0, 0, 0, {}, {}, {}};
    // Without tokens that a stranger cannot guess, no call is offered.
    if (getsockname(connection, (struct sockaddr*)&local, &size) != 0 ||
        !FillRandomBytes(fields.conferenceId, kSetupTokenSize) ||
        !FillRandomBytes(fields.callId, kSetupTokenSize)) {
        return;
    }
    char token[kTokenDigits + 1];
    WriteHex(fields.conferenceId, kSetupTokenSize, token);
    char reply[kCallBackReplySize];
    WriteCallBackReply(token, reply);
    unsigned short ports[kListeners];
    CallAnswer answers[kListeners];
    CallMedia media;
    if (!OpenCallMedia(&media, echo)) {
        return;
    }
    if (!OpenListeners(token, reply, ports, answers)) {
        FinishCallMedia(&media);
        return;
    }
    fields.mediaPorts[kMediaAudio] = media.firstPort;
    fields.mediaPorts[kMediaVideo] = (unsigned short)(media.firstPort + kMediaChannels);
    fields.localAddress = local.sin_addr.s_addr;
    fields.h245Port = ports[kH245Listener];
    fields.signalPort = ntohs(local.sin_port);
    unsigned char setup[kSetupSize];
    char message[kSetupSize + 32];
    int length = WriteCallMessage(&fields, ports[kControlListener], setup, message);
    CallBackSeen seen = {kWordNone, false, kWordNone, false};
    HearCallBacks(connection, setup, message, length, deadline, answers, &media, facts, &seen);
    for (CallAnswer& answer : answers) {
        closesocket(answer.listener);
    }
    JudgeCallBack(&seen, facts);
}

} // namespace

namespace {

// A connection to the echo host's TCP 1720, with whether it got out; the
// fact stays unknown when the host does not resolve.
SOCKET ConnectSignalling(const char* echoHost, long long deadline, Fact* out,
                         struct sockaddr_in* echo) {
    *out = kFactUnknown;
    SOCKET connection = OpenTowards(echoHost, kSignallingPort, SOCK_STREAM, echo);
    if (connection == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    bool connected = ConnectWithTimeout(connection, (const struct sockaddr*)echo, sizeof(*echo),
                                        DeadlineWithin(kConnectMs, deadline)) == 0;
    *out = connected ? kFactYes : kFactNo;
    if (!connected) {
        closesocket(connection);
        return INVALID_SOCKET;
    }
    return connection;
}

} // namespace

void ProbeCallSignalling(const char* echoHost, long long deadline, CallSignalling* facts) {
    facts->rewritesAddresses = kFactUnknown;
    facts->opensH245Pinhole = kFactUnknown;
    facts->inboundOpen = kFactUnknown;
    facts->alteredCount = -1;
    std::memset(&facts->media, 0, sizeof(facts->media));
    facts->media.rewritten = kFactUnknown;
    facts->media.farEndIn[kMediaAudio] = kFactUnknown;
    facts->media.farEndIn[kMediaVideo] = kFactUnknown;
    struct sockaddr_in echo;
    SOCKET connection = ConnectSignalling(echoHost, deadline, &facts->tcp1720Out, &echo);
    if (connection != INVALID_SOCKET) {
        ProbeAlg(connection, &echo, deadline, facts);
        closesocket(connection);
    }
}

Fact ProbeTcp1720Out(const char* echoHost, long long deadline) {
    Fact out;
    struct sockaddr_in echo;
    SOCKET connection = ConnectSignalling(echoHost, deadline, &out, &echo);
    if (connection != INVALID_SOCKET) {
        closesocket(connection);
    }
    return out;
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
        if (open && WaitForSocket(probe, kWaitToReceive,
                                  DeadlineWithin(kGatekeeperResendMs, deadline)) == 0) {
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
