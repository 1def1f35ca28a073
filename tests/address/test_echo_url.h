// Built into this test's own copy of the Internet lookup in place of the
// fixed echo URL, so that the lookup asks a scripted peer on a free port.
#pragma once

extern char g_testEchoUrl[64];
