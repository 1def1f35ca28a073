// The basic Win32 types and macros, for the calls that the platform layer
// supplies with their Win32 names.
#pragma once

#include <cstdint>

#include "platform/posix/winsock.h"

typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t INT_PTR;
typedef char* LPSTR;
typedef const char* LPCSTR;

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

#define CALLBACK
#define WINAPI
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define LOWORD(value) ((WORD)(((std::uintptr_t)(value)) & 0xFFFF))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)(((WORD)(low)) | ((DWORD)((WORD)(high))) << 16))
#define MAKEINTRESOURCEA(id) ((LPSTR)((std::uintptr_t)((WORD)(id))))
#define IS_INTRESOURCE(name) ((((std::uintptr_t)(name)) >> 16) == 0)
