#pragma once
// The few Windows declarations the settings store compiles against, for the
// native fuzz build only. The functions are defined by the fuzz target that
// stands in for the system.

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using COLORREF = DWORD;
using HRESULT = int32_t;
using HMODULE = void*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;

#define FALSE 0
#define TRUE 1
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<uint8_t>(r) | (static_cast<uint8_t>(g) << 8) |              \
                           (static_cast<uint8_t>(b) << 16)))

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR fallback, LPWSTR buffer,
                               DWORD capacity, LPCWSTR path);
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR path);
BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR text, LPCWSTR path);
DWORD GetFullPathNameW(LPCWSTR name, DWORD capacity, LPWSTR buffer, LPWSTR* file_part);
DWORD GetFileAttributesW(LPCWSTR path);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity);
BOOL SetCurrentDirectoryW(LPCWSTR path);
