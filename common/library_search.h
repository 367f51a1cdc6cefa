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

// A function of a system library that is no known DLL, from System32 alone:
// a file of that name beside the program is never taken, as an import or a
// plain LoadLibrary would take it first. The library then stays loaded for
// the life of the process, as an imported one does. Null when the library
// or the function is missing; keep the result rather than asking again.
template <typename Function>
Function system_function(const wchar_t* library, const char* name) noexcept {
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The version-resource functions of version.dll.
struct version_functions {
    decltype(&GetFileVersionInfoSizeW) info_size =
        system_function<decltype(&GetFileVersionInfoSizeW)>(L"version.dll",
                                                            "GetFileVersionInfoSizeW");
    decltype(&GetFileVersionInfoW) info =
        system_function<decltype(&GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    decltype(&VerQueryValueW) query =
        system_function<decltype(&VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    bool usable() const noexcept { return info_size && info && query; }
};

inline const version_functions& version_library() noexcept {
    static const version_functions functions;
    return functions;
}
