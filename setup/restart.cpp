#include "setup/restart.h"

#include "common/unique_resource.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"
#include "setup/resource.h"

#include <strsafe.h>

namespace {

constexpr wchar_t main_class[] = L"Quellbar_Class";
constexpr wchar_t main_program[] = L"zuvo.exe";

bool start_main_program() noexcept {
    // CreateProcessW may write into its command line.
    wchar_t command_line[16];
    StringCchCopyW(command_line, 16, main_program);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command_line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &started))
        return false;
    unique_handle thread(started.hThread), process(started.hProcess);
    return true;
}

} // namespace

restart_outcome restart_main_program() noexcept {
    if (!FindWindowW(main_class, nullptr)) return restart_outcome::not_running;
    PostMessageW(FindWindowW(main_class, nullptr), WM_COMMAND, ZUVO_CMD_EXIT, 0);
    for (int wait = 0; wait < 10; ++wait) {
        Sleep(200);
        if (!FindWindowW(main_class, nullptr))
            return start_main_program() ? restart_outcome::restarted
                                        : restart_outcome::start_failed;
    }
    return restart_outcome::did_not_quit;
}

void show_setup_message(HMODULE module, UINT id, const wchar_t* argument, UINT icon) noexcept {
    wchar_t text[1024];
    if (!format_ui_string(module, id, argument, text, 1024)) return;
    MessageBoxW(nullptr, text, L"Quellbar Setup", MB_OK | icon);
}

void warn_restart_failed(HMODULE module) noexcept {
    show_setup_message(module, IDS_FAILED_TO_START, main_program, MB_ICONWARNING);
}
