// Window, dialog, button and static styles as dialog templates store them:
// the dialog calls set them and the resource reader reads them, so both
// take them from here.
#pragma once

#define WS_TABSTOP 0x00010000L
#define WS_GROUP 0x00020000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_SYSMENU 0x00080000L
#define WS_CAPTION 0x00C00000L
#define WS_DISABLED 0x08000000L
#define WS_VISIBLE 0x10000000L
#define WS_CHILD 0x40000000L
#define WS_POPUP 0x80000000L
#define DS_MODALFRAME 0x80L
#define DS_SETFONT 0x40L
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_TYPEMASK 0xFL
#define SS_LEFT 0x0L
#define SS_ICON 0x3L
#define SS_BLACKRECT 0x4L
#define SS_TYPEMASK 0x1FL
#define SS_NOPREFIX 0x80L
#define SS_SUNKEN 0x1000L
