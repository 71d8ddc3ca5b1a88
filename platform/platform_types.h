// The platform's base types with the widths they have on the phone, on every build.
#pragma once

#include <stdint.h>

// Text on the platform is UTF-16: WCHAR is one 16-bit code unit here too, not the host's wchar_t.
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

typedef uint8_t BYTE;
typedef uint32_t DWORD;
typedef int32_t BOOL;
typedef unsigned int UINT;
typedef int32_t HRESULT;

typedef void* HANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef int (*FARPROC)(void);

static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");
static_assert(sizeof(DWORD) == 4 && sizeof(HRESULT) == 4 && sizeof(BOOL) == 4, "32-bit scalars");
