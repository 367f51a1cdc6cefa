// The Hot keys page: six hot-key editors for the tray program's own keys.

#include "winui/dialog_helpers.h"
#include "setup/pages.h"
#include "setup/resource.h"

namespace {

struct hotkey_row {
    hotkey_editor editor;
    uint32_t Cconfig::*field;
};
constexpr hotkey_row rows[] = {
    {{IDC_HK_UP, IDC_HK_UP_CTRL, IDC_HK_UP_SHIFT, IDC_HK_UP_ALT, IDC_HK_UP_WIN},
     &Cconfig::hotkey_volume_up},
    {{IDC_HK_DOWN, IDC_HK_DOWN_CTRL, IDC_HK_DOWN_SHIFT, IDC_HK_DOWN_ALT, IDC_HK_DOWN_WIN},
     &Cconfig::hotkey_volume_down},
    {{IDC_HK_MUTE, IDC_HK_MUTE_CTRL, IDC_HK_MUTE_SHIFT, IDC_HK_MUTE_ALT, IDC_HK_MUTE_WIN},
     &Cconfig::hotkey_mute},
    {{IDC_HK_CHANGE, IDC_HK_CHANGE_CTRL, IDC_HK_CHANGE_SHIFT, IDC_HK_CHANGE_ALT, IDC_HK_CHANGE_WIN},
     &Cconfig::hotkey_control_change},
    {{IDC_HK_POPUP, IDC_HK_POPUP_CTRL, IDC_HK_POPUP_SHIFT, IDC_HK_POPUP_ALT, IDC_HK_POPUP_WIN},
     &Cconfig::hotkey_popup_menu},
    {{IDC_HK_DEVICE, IDC_HK_DEVICE_CTRL, IDC_HK_DEVICE_SHIFT, IDC_HK_DEVICE_ALT, IDC_HK_DEVICE_WIN},
     &Cconfig::hotkey_device_next},
};

class Cpage_hotkeys final : public Csetup_page {
public:
    explicit Cpage_hotkeys(setup_state& state) : Csetup_page(state, IDD_PAGE_HOTKEYS) {}

protected:
    void initialize() override {
        for (const auto& row : rows) {
            row.editor.bind(window());
            row.editor.show(window(), config().*row.field);
        }
    }

    void apply() override {
        for (const auto& row : rows) config().*row.field = row.editor.read(window());
    }
};

} // namespace

std::unique_ptr<Csetup_page> make_hotkeys_page(setup_state& state) {
    return std::make_unique<Cpage_hotkeys>(state);
}
