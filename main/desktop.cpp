#include "main/desktop.h"

#include "winui/ui_language.h"

void show_warning(UINT string_id, const wchar_t* argument) noexcept {
    wchar_t text[512];
    if (!format_ui_string(GetModuleHandleW(nullptr), string_id, argument, text, 512)) return;
    MessageBoxW(nullptr, text, program_caption, MB_OK | MB_ICONWARNING);
}

void bring_to_foreground(HWND window) noexcept {
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD own = GetCurrentThreadId();
    // With nobody in front there is no input to share and nothing that could
    // refuse us the foreground; without it a click elsewhere would never
    // reach our menu to close it.
    if (foreground == own || foreground == 0) {
        SetForegroundWindow(window);
        return;
    }
    // A thread we may not attach to (another desktop, a higher integrity
    // level) still leaves the plain request, which the shell's permission
    // for a tray icon's owner lets through.
    const bool attached = AttachThreadInput(own, foreground, TRUE) != FALSE;
    SetForegroundWindow(window);
    if (attached) AttachThreadInput(own, foreground, FALSE);
    // Wine leaves the foreground with the other thread's input when the two
    // part; asked again, now from our own input, it gives it to us. Windows
    // has already done so, and this changes nothing there.
    if (GetForegroundWindow() != window) SetForegroundWindow(window);
}
