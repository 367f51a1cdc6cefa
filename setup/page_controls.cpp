// The Controls page: the 16 control slots, edited in place while the user
// works; OK has nothing left to copy but the caption being typed.

#include "mxrctl/control_select.h"
#include "winui/dialog_helpers.h"
#include "setup/list_logic.h"
#include "setup/page_tools.h"
#include "setup/pages.h"
#include "setup/resource.h"

#include <strsafe.h>

namespace {

void reset_to_blank(control_entry& entry) noexcept {
    entry = control_entry{};
    StringCchCopyW(entry.icon_image, 64, L"default");
}

class Cpage_controls final : public Csetup_page {
public:
    explicit Cpage_controls(setup_state& state) : Csetup_page(state, IDD_PAGE_CONTROLS) {}

protected:
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
        case WM_COMMAND:
            if (!ready_) return FALSE;
            return command(LOWORD(wparam), HIWORD(wparam));
        case WM_DRAWITEM: {
            const auto* drawn = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (wparam != IDC_CTL_SWATCH || !drawn || !ready_) return FALSE;
            draw_swatch(*drawn, current().color);
            return TRUE;
        }
        case WM_SHOWWINDOW:
            // A slot without its own set shows the tray's, which the Basic
            // page may have changed.
            if (wparam && ready_) draw_preview();
            return FALSE;
        default:
            return FALSE;
        }
    }

    void apply() override {
        // OK pressed with Enter leaves the caption edit without a focus
        // change; what the user typed must not be lost.
        if (ready_) take_caption();
    }

private:
    control_entry& current() { return *config().controls[current_]; }

    void initialize() override {
        // Free slots hold blank entries in the setup program; make sure of
        // it, the pages edit every slot in place.
        for (auto& entry : config().controls) {
            if (entry) continue;
            entry = std::make_unique<control_entry>();
            reset_to_blank(*entry);
        }
        SendMessageW(item(IDC_CTL_CAPTION), EM_LIMITTEXT, 63, 0);
        current_ = 0;
        ready_ = true;
        show_slot(true);
    }

    INT_PTR command(int id, int code) {
        switch (id) {
        case IDC_CTL_LIST:
            if (code != LBN_SELCHANGE) return FALSE;
            select_listed();
            return TRUE;
        case IDC_CTL_CAPTION:
            if (code != EN_KILLFOCUS) return FALSE;
            take_caption();
            show_slot(false);
            return TRUE;
        case IDC_CTL_UP:
            move(slot_move::up);
            return TRUE;
        case IDC_CTL_DOWN:
            move(slot_move::down);
            return TRUE;
        case IDC_CTL_DELETE:
            reset_to_blank(current());
            show_slot(true);
            return TRUE;
        case IDC_CTL_SELECT:
            select_control();
            return TRUE;
        case IDC_CTL_OWN_COLOR:
        case IDC_CTL_OWN_ICON:
            if (code != BN_CLICKED) return FALSE;
            take_flags();
            refresh_extras();
            return TRUE;
        case IDC_CTL_ICON_IMAGE:
            if (code != CBN_SELCHANGE) return FALSE;
            if (const wchar_t* set = selected_resource(item(IDC_CTL_ICON_IMAGE), state_.icons))
                StringCchCopyW(current().icon_image, 64, set);
            refresh_extras();
            return TRUE;
        case IDC_CTL_COLOR:
            choose_color(window(), current().color);
            refresh_extras();
            return TRUE;
        default:
            return FALSE;
        }
    }

    void select_listed() {
        const LRESULT selected = SendMessageW(item(IDC_CTL_LIST), LB_GETCURSEL, 0, 0);
        if (selected < 0 || static_cast<size_t>(selected) >= control_slots) return;
        current_ = static_cast<size_t>(selected);
        show_slot(true);
    }

    void move(slot_move direction) {
        const auto partner = slot_swap_partner(current_, direction, control_slots);
        if (!partner) return;
        config().controls[current_].swap(config().controls[*partner]);
        current_ = *partner;
        show_slot(true);
    }

    void select_control() {
        control_entry& entry = current();
        control_choice choice{};
        StringCchCopyW(choice.mixer, 256, entry.mixer);
        choice.destination = entry.destination;
        choice.source = entry.source;
        choice.balance = entry.balance;
        StringCchCopyW(choice.caption, 64, entry.caption);
        StringCchCopyW(choice.application, std::size(choice.application), entry.application);
        if (!run_control_select(state_.module, window(), choice, true)) return;
        StringCchCopyW(entry.mixer, 256, choice.mixer);
        StringCchCopyW(entry.application, std::size(entry.application), choice.application);
        entry.destination = choice.destination;
        entry.source = choice.source;
        entry.balance = choice.balance;
        // A control without a name proposes none; an empty caption would
        // free the slot and drop the choice at the save.
        wchar_t caption[64];
        caption_after_selection(choice.caption, entry.caption, entry.mixer, caption, 64);
        StringCchCopyW(entry.caption, 64, caption);
        describe(entry);
        show_slot(false);
    }

    void take_caption() {
        HWND edit = item(IDC_CTL_CAPTION);
        if (!edit) return;
        wchar_t caption[64] = {};
        GetWindowTextW(edit, caption, 64);
        StringCchCopyW(current().caption, 64, caption);
    }

    void take_flags() {
        control_entry& entry = current();
        entry.has_color = is_box_ticked(window(), IDC_CTL_OWN_COLOR);
        entry.has_icon = is_box_ticked(window(), IDC_CTL_OWN_ICON);
        // A slot read without a set of its own has no name yet, while the
        // list shows its first set as chosen: take what the user sees, or
        // the tick would be lost when the file is written.
        if (entry.has_icon && entry.icon_image[0] == L'\0') {
            if (const wchar_t* set = selected_resource(item(IDC_CTL_ICON_IMAGE), state_.icons))
                StringCchCopyW(entry.icon_image, 64, set);
        }
    }

    // The list and the caption; with `reselected` also the description, the
    // boxes and the icon set, which belong to the slot rather than to what
    // is typed.
    void show_slot(bool reselected) {
        fill_slot_list(item(IDC_CTL_LIST), config().controls, current_);
        const control_entry& entry = current();
        SetDlgItemTextW(window(), IDC_CTL_CAPTION, entry.caption);
        // Describing opens the device, which lists every device there is:
        // once per slot shown, and again when a caption frees or fills it.
        if (reselected || (entry.caption[0] != L'\0') != described_used_) describe(entry);
        if (reselected) {
            tick_box(window(), IDC_CTL_OWN_COLOR, entry.has_color);
            tick_box(window(), IDC_CTL_OWN_ICON, entry.has_icon);
            fill_resource_list(item(IDC_CTL_ICON_IMAGE), state_.icons, entry.icon_image);
        }
        refresh_extras();
    }

    void describe(const control_entry& entry) {
        wchar_t description[1024] = {};
        describe_control(state_.module, entry, description, 1024);
        SetDlgItemTextW(window(), IDC_CTL_DESCRIPTION, description);
        described_used_ = entry.caption[0] != L'\0';
    }

    void refresh_extras() {
        const control_entry& entry = current();
        const bool used = entry.caption[0] != L'\0';
        EnableWindow(item(IDC_CTL_OWN_COLOR), used);
        EnableWindow(item(IDC_CTL_OWN_ICON), used);
        EnableWindow(item(IDC_CTL_COLOR), used && entry.has_color);
        EnableWindow(item(IDC_CTL_ICON_IMAGE), used && entry.has_icon);
        InvalidateRect(item(IDC_CTL_SWATCH), nullptr, TRUE);
        draw_preview();
    }

    void draw_preview() {
        const control_entry& entry = current();
        // Without a set of its own the control shows the tray's set.
        const wchar_t* icon_set = entry.has_icon && entry.icon_image[0] != L'\0'
                                      ? entry.icon_image
                                      : config().trayicon_image;
        preview_.show(item(IDC_CTL_PREVIEW), icon_set, config().trayicon_digit, -1,
                      default_text_color, false);
    }

    size_t current_ = 0;
    // Every slot has its entry; until then (or when memory ran out making
    // them) the controls are left alone.
    bool ready_ = false;
    // Whether the description shown is that of a used slot.
    bool described_used_ = false;
    icon_preview preview_;
};

} // namespace

std::unique_ptr<Csetup_page> make_controls_page(setup_state& state) {
    return std::make_unique<Cpage_controls>(state);
}
