// A yes-or-no fact about the path to the Internet that may not have been
// found out.
#pragma once

const int kFactUnknown = -1;
const int kFactNo = 0;
const int kFactYes = 1;
