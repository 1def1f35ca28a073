// Resource ids of the program's dialog, icons and link buttons. Plain defines
// only: the resource compiler reads this file too.
#pragma once

#include "detect/detect_ids.h"

#define IDI_PRODUCTS 101
#define IDD_MAIN 102
#define IDI_ADDRESSES 104
#define IDI_MAKER 105

#define IDC_PRODUCTS_LINK 1000
#define IDC_MAKER_LINK 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
