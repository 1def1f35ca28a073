// Whether a connection from the Internet reaches the machine's TCP port
// 1720, where H.323 calls are signalled: the echo service is asked to call
// back while the program answers on the port.
#pragma once

const int kCallReachable = 0;
const int kCallUnreachable = 1;
const int kCallPortInUse = 2;   // another program holds port 1720 here
const int kCallNoCallBack = 3;  // the echo service gave no verdict
const int kCallNoInternet = 4;  // the echo page could not be reached before
const int kCallRateLimited = 5; // the service refused: too many checks from here

const unsigned short kCallPort = 1720;

// echoUrl is the echo page's URL in the program's form; the call-back page
// is asked on its host and port. internetAddress is null when the Internet
// lookup failed, and then nothing is asked. Takes about 4 s at most.
int CheckIncomingCall(const char* echoUrl, const char* internetAddress);
