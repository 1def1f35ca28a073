// A yes-or-no fact about the path to the Internet that may not have been
// found out.
#pragma once

enum Fact { kFactUnknown = -1, kFactNo = 0, kFactYes = 1 };
