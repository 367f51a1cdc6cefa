#include "main/popmenu.h"

#include "common/unique_resource.h"
#include "main/commands.h"
#include "main/desktop.h"
#include "main/resource.h"

#include <strsafe.h>

bool Cpopmenu::add_contributor(Cpopmenu_regproc* contributor) noexcept {
    if (!contributor || count_ >= static_cast<int>(max_contributors)) return false;
    contributors_[count_++] = contributor;
    return true;
}

void Cpopmenu::load_captions(HINSTANCE instance) noexcept {
    LoadStringW(instance, IDS_MENU_SETUP, setup_caption_, 64);
    LoadStringW(instance, IDS_MENU_INFO, info_caption_, 64);
    LoadStringW(instance, IDS_MENU_EXIT, exit_caption_, 64);
}

void Cpopmenu::show() noexcept {
    unique_hmenu menu(CreatePopupMenu());
    if (!menu) return;
    HMENU handle = menu.get();
    for (int i = 0; i < count_; ++i) contributors_[i]->add_items(&handle);
    add_menu_item(handle, setup_caption_, CMD_SETUP);
    add_menu_item(handle, info_caption_, CMD_ABOUT);
    add_menu_item(handle, exit_caption_, CMD_EXIT);

    bring_to_foreground(window_);
    SetFocus(window_);
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(handle, TPM_LEFTBUTTON, at.x, at.y, 0, window_, nullptr);
    // Without it the menu would not close when the user clicks elsewhere.
    PostMessageW(window_, WM_NULL, 0, 0);
}

void Czuvo_launch::add_items(HMENU* menu) {
    if (!config_ || !menu) return;
    bool any = false;
    for (size_t i = 0; i < launcher_slots; ++i) {
        const auto& launcher = config_->launchers[i];
        if (!launcher) continue;
        add_menu_item(*menu, launcher->caption, make_command(CMD_LAUNCH, static_cast<uint16_t>(i)),
                      i == 0 ? MFS_DEFAULT : 0);
        any = true;
    }
    if (any) add_menu_separator(*menu);
}

bool start_process(const wchar_t* command_line, const wchar_t* what) noexcept {
    // CreateProcessW may write into the command line. Launcher command lines
    // are kept within this size by the settings.
    wchar_t writable[1024];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (SUCCEEDED(StringCchCopyW(writable, 1024, command_line)) &&
        CreateProcessW(nullptr, writable, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                       nullptr, &startup, &process)) {
        unique_handle thread(process.hThread), started(process.hProcess);
        return true;
    }
    show_warning(IDS_FAILED_TO_START, what);
    return false;
}

void Czuvo_launch::run(uint32_t index) noexcept {
    if (!config_ || index >= launcher_slots || !config_->launchers[index]) return;
    const auto& launcher = *config_->launchers[index];
    start_process(launcher.command_line, launcher.caption);
}
