#pragma once
// What the test DLL loaded into zuvo.exe reports back through shared memory.

#include <windows.h>

constexpr const wchar_t* mxrctl_inject_report_name = L"Local\\quellbar_mxrctl_inject";

struct mxrctl_inject_report {
    // 1: the exports were tried; 2: a change message was claimed; 3: released.
    volatile LONG stage;
    wchar_t text[2048];
};
