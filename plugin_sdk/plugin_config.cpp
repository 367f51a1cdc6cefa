#include "plugin_sdk/plugin_config.h"

#include "plugin_sdk/zuvoplug.h"
#include "winui/ui_language.h"

#include <strsafe.h>

void report_config_save(HWND owner, HWND dialog, HMODULE module, UINT failed_text,
                        const wchar_t* file_name, bool saved) noexcept {
    if (!saved) {
        wchar_t file[MAX_PATH] = {};
        StringCchPrintfW(file, MAX_PATH, L"%ls.ini", file_name ? file_name : L"");
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetFullPathNameW(file, MAX_PATH, path, nullptr);
        if (length == 0 || length >= MAX_PATH) StringCchCopyW(path, MAX_PATH, file);
        wchar_t text[1024] = {};
        wchar_t caption[64] = {};
        GetWindowTextW(dialog, caption, 64);
        if (format_ui_string(module, failed_text, path, text, 1024))
            MessageBoxW(dialog, text, caption, MB_OK | MB_ICONERROR);
    }
    const UINT message = RegisterWindowMessageW(ZUVOPLUG_CONFIG_SAVED);
    if (owner && message) SendMessageW(owner, message, saved ? 1 : 0, 0);
}
