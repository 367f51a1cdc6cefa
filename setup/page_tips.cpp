// The Window tips page: format, display time, font, colours, transparency.

#include "winui/dialog_helpers.h"
#include "winui/dialog_template.h"
#include "winui/edit_number.h"
#include "winui/ui_language.h"
#include "setup/page_tools.h"
#include "setup/pages.h"
#include "setup/resource.h"
#include "setup/setup_logic.h"

#include <commctrl.h>
#include <commdlg.h>
#include <strsafe.h>

namespace {

constexpr check_setting checks[] = {
    {IDC_TIPS_VOL0_MUTE, &Cconfig::tips_vol0_on_mute},
    {IDC_TIPS_LAYER, &Cconfig::layer_window},
    {IDC_TIPS_THROUGH, &Cconfig::layer_background_through},
};

struct color_button {
    int button;
    int swatch;
    COLORREF Cconfig::*field;
};
constexpr color_button colors[] = {
    {IDC_TIPS_TEXT_COLOR, IDC_TIPS_TEXT_SWATCH, &Cconfig::text_color},
    {IDC_TIPS_MUTE_COLOR, IDC_TIPS_MUTE_SWATCH, &Cconfig::text_color2},
    {IDC_TIPS_BACK_COLOR, IDC_TIPS_BACK_SWATCH, &Cconfig::background_color},
};

// The qualities offered, as LOGFONT lfQuality values; "default" is stored as
// DRAFT_QUALITY (1), which is what the settings file has always held for it.
struct antialias_choice {
    UINT text;
    uint8_t quality;
};
constexpr antialias_choice antialias_choices[] = {
    {IDS_AA_DEFAULT, DRAFT_QUALITY},
    {IDS_AA_OFF, NONANTIALIASED_QUALITY},
    {IDS_AA_STANDARD, ANTIALIASED_QUALITY},
    {IDS_AA_CLEARTYPE, CLEARTYPE_QUALITY},
};

int32_t desktop_width() noexcept {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop.right - desktop.left;
}

void set_number(HWND dialog, int id, long long number) {
    wchar_t text[24];
    // I64, not ll: the system runtime of older Windows knows only the former.
    StringCchPrintfW(text, 24, L"%I64d", number);
    SetDlgItemTextW(dialog, id, text);
}

class Cpage_tips final : public Csetup_page {
public:
    explicit Cpage_tips(setup_state& state) : Csetup_page(state, IDD_PAGE_TIPS) {}

protected:
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override {
        switch (message) {
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lparam) != item(IDC_TIPS_OPACITY)) return FALSE;
            take_opacity();
            return TRUE;
        case WM_DRAWITEM:
            return draw_swatch_item(static_cast<int>(wparam),
                                    reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        case WM_COMMAND:
            return command(LOWORD(wparam), HIWORD(wparam));
        default:
            return FALSE;
        }
    }

    void apply() override {
        // A format the resource file no longer offers stays until the user
        // picks another one.
        if (format_chosen_) {
            if (const wchar_t* format = selected_resource(item(IDC_TIPS_FORMAT), state_.formats))
                StringCchCopyW(config().tips_format, 64, format);
        }
        wchar_t timer[edit_number_characters + 1] = {};
        GetDlgItemTextW(window(), IDC_TIPS_TIMER, timer, edit_number_characters + 1);
        config().tips_timer = display_time_from_text(timer);
        // With no quality selected (the file held one we do not offer) the
        // stored one stays: the user did not choose another.
        const LRESULT selected = SendMessageW(item(IDC_TIPS_ANTIALIAS), CB_GETCURSEL, 0, 0);
        if (selected >= 0)
            config().font_antialias = static_cast<uint8_t>(
                SendMessageW(item(IDC_TIPS_ANTIALIAS), CB_GETITEMDATA, selected, 0) & 0xFF);
        config().font_resolution_base =
            resolution_base_at_ok(is_box_ticked(window(), IDC_TIPS_RESOLUTION),
                                  config().font_resolution_base, font_chosen_, desktop_width());
        // The dialog's height is in this screen's pixels; without a base the
        // tips scale the stored height from 96 DPI, so it is stored at 96.
        if (font_chosen_)
            config().font_point_size =
                stored_font_height(chosen_height_, screen_dpi_, config().font_resolution_base);
        take_checks(window(), config(), checks);
        config().edge_size = read_edit_number(window(), IDC_TIPS_EDGE);
    }

private:
    void initialize() override {
        desktop_width_ = desktop_width();
        screen_dpi_ = screen_font_dpi();
        fill_resource_list(item(IDC_TIPS_FORMAT), state_.formats, config().tips_format);
        set_number(window(), IDC_TIPS_TIMER, config().tips_timer);
        set_number(window(), IDC_TIPS_EDGE, config().edge_size);
        describe_current_font();

        HWND antialias = item(IDC_TIPS_ANTIALIAS);
        for (const auto& choice : antialias_choices) {
            wchar_t text[64];
            load_ui_string(state_.module, choice.text, text, 64);
            const LRESULT added =
                SendMessageW(antialias, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            if (added < 0) continue;
            SendMessageW(antialias, CB_SETITEMDATA, added, choice.quality);
            if (choice.quality == config().font_antialias)
                SendMessageW(antialias, CB_SETCURSEL, added, 0);
        }

        tick_box(window(), IDC_TIPS_RESOLUTION, config().font_resolution_base != 0);
        show_checks(window(), config(), checks);
        SendMessageW(item(IDC_TIPS_OPACITY), TBM_SETRANGE, TRUE, MAKELPARAM(0, 20));
        SendMessageW(item(IDC_TIPS_OPACITY), TBM_SETTICFREQ, 2, 0);
        SendMessageW(item(IDC_TIPS_OPACITY), TBM_SETPOS, TRUE,
                     opacity_track_position(config().layer_transparent_rate));
    }

    INT_PTR command(int id, int code) {
        if (id == IDC_TIPS_FORMAT) {
            if (code == CBN_SELCHANGE) format_chosen_ = true;
            return TRUE;
        }
        if (id == IDC_TIPS_FONT) {
            choose_tips_font();
            return TRUE;
        }
        for (const auto& color : colors) {
            if (id != color.button) continue;
            choose_color(window(), config().*color.field);
            for (const auto& swatch : colors) InvalidateRect(item(swatch.swatch), nullptr, TRUE);
            return TRUE;
        }
        return FALSE;
    }

    INT_PTR draw_swatch_item(int id, const DRAWITEMSTRUCT* drawn) {
        if (!drawn) return FALSE;
        for (const auto& color : colors) {
            if (id != color.swatch) continue;
            draw_swatch(*drawn, config().*color.field);
            return TRUE;
        }
        return FALSE;
    }

    void take_opacity() {
        const auto position =
            static_cast<int32_t>(SendMessageW(item(IDC_TIPS_OPACITY), TBM_GETPOS, 0, 0));
        config().layer_transparent_rate = position * 5;
        wchar_t text[16];
        StringCchPrintfW(text, 16, L"%d%%", static_cast<int>(config().layer_transparent_rate));
        SetDlgItemTextW(window(), IDC_TIPS_OPACITY_TEXT, text);
    }

    void describe_current_font() {
        wchar_t text[128];
        if (font_chosen_)
            describe_font(config().font_face, chosen_height_, screen_dpi_, config().font_weight,
                          config().font_italic != 0, text, 128);
        else
            describe_font(config().font_face, config().font_point_size,
                          stored_font_dpi(config().font_resolution_base, screen_dpi_),
                          config().font_weight, config().font_italic != 0, text, 128);
        SetDlgItemTextW(window(), IDC_TIPS_FONT_TEXT, text);
    }

    void choose_tips_font() {
        LOGFONTW font{};
        StringCchCopyNW(font.lfFaceName, LF_FACESIZE, config().font_face, 31);
        // A height chosen before in this session is this desktop's already.
        font.lfHeight = font_chosen_
                            ? chosen_height_
                            : font_height_for_desktop(config().font_point_size, desktop_width_,
                                                      config().font_resolution_base, screen_dpi_);
        font.lfWeight = config().font_weight;
        font.lfItalic = config().font_italic;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = config().font_antialias;
        CHOOSEFONTW choice{};
        choice.lStructSize = sizeof choice;
        choice.hwndOwner = window();
        choice.lpLogFont = &font;
        choice.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST |
                       CF_NOSCRIPTSEL | CF_NOVERTFONTS;
        choice.nFontType = SCREEN_FONTTYPE;
        if (ChooseFontW(&choice)) {
            font_chosen_ = true;
            StringCchCopyNW(config().font_face, 32, font.lfFaceName, 31);
            chosen_height_ = font.lfHeight;
            config().font_point_size = font.lfHeight;
            config().font_weight = font.lfWeight;
            config().font_italic = font.lfItalic;
            config().font_antialias = font.lfQuality;
        }
        describe_current_font();
    }

    int32_t desktop_width_ = 0;
    // What the font dialog measures heights at (the screen DC's DPI).
    uint32_t screen_dpi_ = 96;
    // The font dialog's last height, in pixels at screen_dpi_.
    int32_t chosen_height_ = 0;
    bool format_chosen_ = false;
    // The height stored now is this desktop's, whatever base it had.
    bool font_chosen_ = false;
};

} // namespace

std::unique_ptr<Csetup_page> make_tips_page(setup_state& state) {
    return std::make_unique<Cpage_tips>(state);
}
