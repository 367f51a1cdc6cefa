// The Basic page: volume step, menu and tray icon behaviour, icon pictures.

#include "winui/dialog_helpers.h"
#include "setup/page_tools.h"
#include "setup/pages.h"
#include "setup/resource.h"
#include "setup/setup_logic.h"
#include "setup/start_with_windows.h"

#include <commctrl.h>
#include <strsafe.h>

namespace {

constexpr COLORREF digit_green = RGB(0, 255, 0);

// The boxes the page copies back on OK (the digit colour box is taken at once).
constexpr check_setting checks[] = {
    {IDC_BASIC_STEP_FIT, &Cconfig::vol_step_fit},
    {IDC_BASIC_VOL_MENU, &Cconfig::vol_menu},
    {IDC_BASIC_TRAY_SHOW, &Cconfig::trayicon_show},
    {IDC_BASIC_BALLOON, &Cconfig::trayicon_balloon},
    {IDC_BASIC_WHEEL, &Cconfig::trayicon_wheel},
    {IDC_BASIC_WHEEL_REVERSE, &Cconfig::trayicon_wheel_reverse},
    {IDC_BASIC_SWAP, &Cconfig::swap_mode},
};

class Cpage_basic final : public Csetup_page {
public:
    explicit Cpage_basic(setup_state& state) : Csetup_page(state, IDD_PAGE_BASIC) {}

protected:
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lparam) == item(IDC_BASIC_STEP_TRACK)) {
                const auto position = static_cast<int32_t>(
                    SendMessageW(item(IDC_BASIC_STEP_TRACK), TBM_GETPOS, 0, 0));
                if (position != track_position_) set_step(step_from_track(position));
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND:
            return command(LOWORD(wparam), HIWORD(wparam));
        case WM_SHOWWINDOW:
            // Other pages change colours and sets the previews show.
            if (wparam) draw_previews();
            return FALSE;
        default:
            return FALSE;
        }
    }

    void apply() override {
        // A number typed and confirmed with Enter never left the edit.
        set_step(read_edit_number(window(), IDC_BASIC_STEP_EDIT));
        config().vol_step_size = static_cast<uint32_t>(step_);
        take_checks(window(), config(), checks);
        config().trayicon_digit_color_link_tips = is_box_ticked(window(), IDC_BASIC_DIGIT_LINK);
        // Only a change is written, so that OK leaves an entry pointing at
        // another Quellbar folder alone.
        const bool start = is_box_ticked(window(), IDC_BASIC_START_WITH_WINDOWS);
        if (start != started_with_windows_)
            state_.start_with_windows =
                start ? start_with_windows_change::add : start_with_windows_change::remove;
    }

private:
    void initialize() override {
        SendMessageW(item(IDC_BASIC_STEP_TRACK), TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
        SendMessageW(item(IDC_BASIC_STEP_TRACK), TBM_SETTICFREQ, 1, 0);
        SendMessageW(item(IDC_BASIC_STEP_EDIT), EM_LIMITTEXT, 2, 0);
        set_step(static_cast<int64_t>(config().vol_step_size));
        show_checks(window(), config(), checks);
        tick_box(window(), IDC_BASIC_DIGIT_LINK, config().trayicon_digit_color_link_tips);
        started_with_windows_ = starts_with_windows();
        tick_box(window(), IDC_BASIC_START_WITH_WINDOWS, started_with_windows_);
        fill_resource_list(item(IDC_BASIC_ICON_IMAGE), state_.icons, config().trayicon_image);
        fill_resource_list(item(IDC_BASIC_DIGIT_IMAGE), state_.digits, config().trayicon_digit);
        draw_previews();
    }

    INT_PTR command(int id, int code) {
        switch (id) {
        case IDC_BASIC_STEP_EDIT:
            if (code == EN_KILLFOCUS) set_step(read_edit_number(window(), IDC_BASIC_STEP_EDIT));
            return TRUE;
        case IDC_BASIC_ICON_IMAGE:
        case IDC_BASIC_DIGIT_IMAGE:
            // Only a choice: tabbing through a list must not replace a stored
            // set the list does not offer with the first one it does.
            if (code == CBN_SELCHANGE) take_image_set(id);
            return TRUE;
        case IDC_BASIC_DIGIT_LINK:
            config().trayicon_digit_color_link_tips = is_box_ticked(window(), IDC_BASIC_DIGIT_LINK);
            draw_previews();
            return TRUE;
        default:
            return FALSE;
        }
    }

    void set_step(int64_t step) {
        step_ = clamp_step(step);
        wchar_t text[16];
        StringCchPrintfW(text, 16, L"%d", static_cast<int>(step_));
        SetDlgItemTextW(window(), IDC_BASIC_STEP_EDIT, text);
        track_position_ = step_track_position(step_);
        SendMessageW(item(IDC_BASIC_STEP_TRACK), TBM_SETPOS, TRUE, track_position_);
    }

    void take_image_set(int list) {
        const bool icons = list == IDC_BASIC_ICON_IMAGE;
        if (const wchar_t* set =
                selected_resource(item(list), icons ? state_.icons : state_.digits))
            StringCchCopyW(icons ? config().trayicon_image : config().trayicon_digit, 64, set);
        draw_previews();
    }

    void draw_previews() {
        const bool linked = config().trayicon_digit_color_link_tips;
        full_.show(item(IDC_BASIC_PREVIEW_FULL), config().trayicon_image, config().trayicon_digit,
                   100, linked ? config().text_color : digit_green, false);
        muted_.show(item(IDC_BASIC_PREVIEW_MUTE), config().trayicon_image, config().trayicon_digit,
                    0, linked ? config().text_color2 : digit_green, true);
    }

    int32_t step_ = 10;
    int32_t track_position_ = 2;
    bool started_with_windows_ = false;
    icon_preview full_;
    icon_preview muted_;
};

} // namespace

std::unique_ptr<Csetup_page> make_basic_page(setup_state& state) {
    return std::make_unique<Cpage_basic>(state);
}
