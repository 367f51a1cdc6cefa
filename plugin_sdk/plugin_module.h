#pragma once
// The plug-in's own module, from which it loads its dialogs, strings and
// menus. Set by the DllMain that quellbar_plugin() links into every plug-in:
// on process attach, cleared on process detach.

#include <windows.h>

extern HMODULE g_plugin_module;
