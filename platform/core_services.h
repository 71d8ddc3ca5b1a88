// The five core services the program takes from the platform, with the platform's names and shapes.
#pragma once

#include "platform_types.h"

extern "C" {
void Sleep(DWORD dwMilliseconds);
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
void NKDbgPrintfW(LPCWSTR lpszFmt, ...);
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
}

// MessageBoxW styles and results used by the program and its stand-ins.
const UINT MB_OK = 0x00000000u;
const UINT MB_TYPEMASK = 0x0000000Fu;
const UINT MB_ICONEXCLAMATION = 0x00000030u;
const UINT MB_ICONASTERISK = 0x00000040u;  // information
const UINT MB_ICONMASK = 0x000000F0u;
const int IDOK = 1;
