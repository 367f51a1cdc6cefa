#pragma once
// Where the programs look for libraries. Without this the program's own
// folder comes first for every library that is no known DLL, and a program
// run from a download folder would load whatever lies beside it there.

#include <windows.h>

// At start, before anything loads a library by name: the system's libraries
// come from System32 alone. Our own libraries are loaded by full path.
inline void search_system_libraries_only() noexcept {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// A library of ours (the hook library, a plug-in) by its full path; what it
// imports is looked for beside it and in System32.
inline HMODULE load_own_library(const wchar_t* full_path) noexcept {
    return LoadLibraryExW(full_path, nullptr,
                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}
