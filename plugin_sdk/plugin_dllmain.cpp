// Linked into every plug-in by quellbar_plugin(); nothing else belongs here,
// because the loader lock is held while it runs.

#include "plugin_sdk/plugin_module.h"

HMODULE g_plugin_module = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_plugin_module = instance;
    else if (reason == DLL_PROCESS_DETACH)
        g_plugin_module = nullptr;
    return TRUE;
}
