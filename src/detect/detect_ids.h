// Ids that the detection run shares with the dialog template and the string
// table. Plain defines only: the resource compiler reads this file too.
#pragma once

// The three result fields of the main dialog.
#define IDC_LOCAL_IP 1002
#define IDC_INTERNET_IP 1003
#define IDC_NOTES 1004

// Progress, failure and verdict texts.
#define IDS_NOT_BEHIND_FIREWALL 100
#define IDS_BEHIND_FIREWALL 101
#define IDS_DETECTING 102
#define IDS_NO_INTERNET_IP 103
#define IDS_NO_LOCAL_IP 104
#define IDS_INTERNET_IP_UNDETERMINED 105
#define IDS_LOCAL_IP_UNDETERMINED 106
#define IDS_NEITHER_IP_KNOWN 107
