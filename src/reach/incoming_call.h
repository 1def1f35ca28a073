// Whether a connection from the Internet reaches the machine's TCP port
// 1720, where H.323 calls are signalled: the echo service is asked to call
// back while the program answers on the port.
#pragma once

enum IncomingCall {
    kCallReachable,
    kCallUnreachable,
    kCallPortInUse,   // another program holds port 1720 here
    kCallNoCallBack,  // the echo service gave no verdict
    kCallNoInternet,  // the echo page could not be reached before
    kCallRateLimited, // the service refused: too many checks from here
};

// Why port 1720 was not tested, in the report's words; null where it was.
const char* IncomingCallReason(IncomingCall call);

const unsigned short kCallPort = 1720;

// echoUrl is the echo page's URL in the program's form; the call-back page
// is asked on its host and port. internetAddress is null when the Internet
// lookup failed, and then nothing is asked. Takes about 4 s at most, and
// is over by deadline (a moment of SteadyMilliseconds) in any case.
IncomingCall CheckIncomingCall(const char* echoUrl, const char* internetAddress,
                               long long deadline);

// The call-back page's answer (its HTTP status, its body or null when none
// came) judged: its verdict counts only when this run answered the call
// itself (answered), as a "reachable" without that means something else
// took the connection.
IncomingCall JudgeCallBackPage(int status, const char* body, bool answered);
