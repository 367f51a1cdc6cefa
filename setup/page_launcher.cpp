// The Launcher page: the 16 launcher slots, edited in place. The editors
// belong to the current slot and are stored into it before anything else
// happens to the list.

#include "winui/dialog_helpers.h"
#include "setup/list_logic.h"
#include "setup/page_tools.h"
#include "setup/pages.h"
#include "setup/resource.h"

#include <strsafe.h>

namespace {

constexpr hotkey_editor launcher_hotkey{IDC_LAUNCH_HOTKEY, IDC_LAUNCH_CTRL, IDC_LAUNCH_SHIFT,
                                        IDC_LAUNCH_ALT, IDC_LAUNCH_WIN};

class Cpage_launcher final : public Csetup_page {
public:
    explicit Cpage_launcher(setup_state& state) : Csetup_page(state, IDD_PAGE_LAUNCHER) {}

protected:
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM) override {
        switch (message) {
        case WM_COMMAND:
            return command(LOWORD(wparam), HIWORD(wparam));
        default:
            return FALSE;
        }
    }

    void apply() override {
        if (initialized_) store_editors();
    }

private:
    launcher_entry& current() { return *config().launchers[current_]; }

    void initialize() override {
        // Free slots are null after loading; every slot gets an entry so
        // that a free one can be filled in place (an empty caption keeps it
        // out of the file).
        for (auto& entry : config().launchers)
            if (!entry) entry = std::make_unique<launcher_entry>();
        SendMessageW(item(IDC_LAUNCH_CAPTION), EM_LIMITTEXT, 63, 0);
        SendMessageW(item(IDC_LAUNCH_COMMAND), EM_LIMITTEXT, 1023, 0);
        launcher_hotkey.bind(window());
        current_ = 0;
        initialized_ = true;
        show_slot();
    }

    INT_PTR command(int id, int code) {
        if (!initialized_) return FALSE;
        switch (id) {
        case IDC_LAUNCH_LIST:
            // Focus changes and clicks alike: what was typed for the slot
            // being left is kept before another slot can be shown.
            store_editors();
            if (code == LBN_SELCHANGE) select_listed();
            return TRUE;
        case IDC_LAUNCH_CAPTION:
        case IDC_LAUNCH_COMMAND:
            if (code != EN_KILLFOCUS) return FALSE;
            store_editors();
            fill_list();
            return TRUE;
        case IDC_LAUNCH_UP:
            move(slot_move::up);
            return TRUE;
        case IDC_LAUNCH_DOWN:
            move(slot_move::down);
            return TRUE;
        case IDC_LAUNCH_DELETE: {
            launcher_entry& entry = current();
            entry.caption[0] = L'\0';
            entry.command_line[0] = L'\0';
            entry.hotkey = free_launcher_hotkey;
            show_slot();
            return TRUE;
        }
        default:
            return FALSE;
        }
    }

    void select_listed() {
        const LRESULT selected = SendMessageW(item(IDC_LAUNCH_LIST), LB_GETCURSEL, 0, 0);
        if (selected < 0 || static_cast<size_t>(selected) >= launcher_slots) return;
        current_ = static_cast<size_t>(selected);
        show_slot();
    }

    void move(slot_move direction) {
        const auto partner = slot_swap_partner(current_, direction, launcher_slots);
        if (!partner) return;
        // A hot key changed in the editor loses no focus to the edits, so
        // nothing has stored it yet; it moves with its slot.
        store_editors();
        config().launchers[current_].swap(config().launchers[*partner]);
        current_ = *partner;
        show_slot();
    }

    void store_editors() {
        launcher_entry& entry = current();
        wchar_t caption[64] = {};
        GetDlgItemTextW(window(), IDC_LAUNCH_CAPTION, caption, 64);
        StringCchCopyW(entry.caption, 64, caption);
        GetDlgItemTextW(window(), IDC_LAUNCH_COMMAND, entry.command_line, 1024);
        entry.hotkey = launcher_hotkey.read(window());
    }

    void fill_list() { fill_slot_list(item(IDC_LAUNCH_LIST), config().launchers, current_); }

    void show_slot() {
        fill_list();
        const launcher_entry& entry = current();
        const bool used = entry.caption[0] != L'\0';
        SetDlgItemTextW(window(), IDC_LAUNCH_CAPTION, used ? entry.caption : L"");
        SetDlgItemTextW(window(), IDC_LAUNCH_COMMAND, used ? entry.command_line : L"");
        launcher_hotkey.show(window(), used ? entry.hotkey : free_launcher_hotkey);
    }

    size_t current_ = 0;
    // Every slot has its entry; until then (or when memory ran out making
    // them) the controls are left alone.
    bool initialized_ = false;
};

} // namespace

std::unique_ptr<Csetup_page> make_launcher_page(setup_state& state) {
    return std::make_unique<Cpage_launcher>(state);
}
