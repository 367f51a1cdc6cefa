#include "mxrctl/control_select.h"

#include "common/unique_resource.h"
#include "mxrctl/control_description.h"
#include "mxrctl/control_select_ids.h"
#include "mxrctl/control_select_text.h"
#include "mxrctl/mxrctl_ca.h"
#include "mxrctl/session_names.h"
#include "winui/dialog_template.h"
#include "winui/ui_language.h"

#include <commctrl.h>
#include <strsafe.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

namespace {

constexpr size_t mixer_capacity = sizeof(control_choice::mixer) / sizeof(wchar_t);
constexpr size_t caption_capacity = sizeof(control_choice::caption) / sizeof(wchar_t);
constexpr size_t application_capacity = sizeof(control_choice::application) / sizeof(wchar_t);
constexpr size_t label_capacity = 64;
constexpr int32_t balance_step = 10;

void copy_text(wchar_t* out, size_t capacity, std::wstring_view text) noexcept {
    // Cuts what does not fit and always terminates.
    StringCchCopyNW(out, capacity, text.data(), text.size());
}

std::wstring ui_string(HMODULE module, UINT id) {
    wchar_t text[label_capacity];
    const size_t length = load_ui_string(module, id, text, label_capacity);
    return std::wstring(text, length);
}

// The text of a list entry, whatever its length.
std::wstring combo_entry(HWND list, LRESULT index) {
    if (index < 0) return {};
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0);
    return text;
}

LRESULT add_entry(HWND list, const wchar_t* text) {
    return SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// A control list entry carries its line as item data; program k carries
// application_source - k, below every line.
LRESULT add_control_entry(HWND list, const std::wstring& text, LPARAM data) {
    const LRESULT at = add_entry(list, text.c_str());
    if (at >= 0) SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
    return at;
}

LPARAM program_item(size_t k) {
    return static_cast<LPARAM>(application_source) - static_cast<LPARAM>(k);
}

std::wstring program_caption(const program_audio& program) {
    return program.display_name.empty() ? program.file_name : program.display_name;
}

} // namespace

// ---------------------------------------------------------------------------
// The dialog

m_control_select::m_control_select(HMODULE module, const control_choice& start, bool offer_programs)
    : module_(module), offer_programs_(offer_programs) {
    copy_text(choice_.mixer, mixer_capacity,
              std::wstring_view(start.mixer, wcsnlen(start.mixer, mixer_capacity - 1)));
    choice_.destination = start.destination;
    choice_.source = start.source;
    choice_.balance = start.balance;
    copy_text(choice_.caption, caption_capacity,
              std::wstring_view(start.caption, wcsnlen(start.caption, caption_capacity - 1)));
    if (offer_programs && start.source == application_source)
        copy_text(choice_.application, application_capacity,
                  std::wstring_view(start.application,
                                    wcsnlen(start.application, application_capacity - 1)));
    const std::wstring default_mixer = ui_string(module, IDS_DEFAULT_MIXER);
    copy_text(default_entry_, std::size(default_entry_), default_mixer_entry(default_mixer));
    copy_text(default_caption_, std::size(default_caption_), default_mixer_caption(default_mixer));
}

m_control_select::~m_control_select() = default;

bool m_control_select::run(HWND owner) noexcept {
    try {
        device_.reset(new m_mxrctl_ca);
        control_.reset(device_->create_control());
    } catch (...) {
        return false;
    }
    if (!control_) return false;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    unique_hglobal dialog(build_dialog_template(module_, IDD_CONTROL_SELECT));
    if (!dialog) return false;
    accepted_ = false;
    const INT_PTR result =
        DialogBoxIndirectParamW(module_, static_cast<LPCDLGTEMPLATEW>(dialog.get()), owner,
                                procedure_thunk, reinterpret_cast<LPARAM>(this));
    control_.reset();
    device_.reset();
    return result != -1 && accepted_;
}

INT_PTR CALLBACK m_control_select::procedure_thunk(HWND dialog, UINT message, WPARAM wparam,
                                                   LPARAM lparam) noexcept {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        reinterpret_cast<m_control_select*>(lparam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<m_control_select*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->dialog_ = nullptr;
        return FALSE;
    }
    try {
        return self->procedure(message, wparam, lparam);
    } catch (...) {
        // Out of memory while listing: the dialog stays as it is.
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
}

INT_PTR m_control_select::procedure(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        on_init();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_SELECT_MIXER:
            if (HIWORD(wparam) == CBN_SELCHANGE) on_device_changed();
            return TRUE;
        case IDC_SELECT_CONTROL:
            if (HIWORD(wparam) == CBN_SELCHANGE) on_control_changed();
            return TRUE;
        case IDOK:
            accepted_ = true;
            EndDialog(dialog_, IDOK);
            return TRUE;
        case IDCANCEL:
            accepted_ = false;
            EndDialog(dialog_, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header && header->idFrom == IDC_SELECT_BALANCE) on_balance_moved();
        return FALSE;
    }
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lparam) == GetDlgItem(dialog_, IDC_SELECT_BALANCE))
            on_balance_moved();
        return TRUE;
    default:
        return FALSE;
    }
}

void m_control_select::on_init() {
    HWND bar = GetDlgItem(dialog_, IDC_SELECT_BALANCE);
    SendMessageW(bar, TBM_SETRANGEMIN, FALSE, -balance_step);
    SendMessageW(bar, TBM_SETRANGEMAX, FALSE, balance_step);
    SendMessageW(bar, TBM_SETTICFREQ, 1, 0);
    fill_devices();
    fill_controls();
    update_caption();
    update_channels();
    show_balance();
}

void m_control_select::fill_devices() {
    HWND list = GetDlgItem(dialog_, IDC_SELECT_MIXER);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    add_entry(list, default_entry_);
    LRESULT selected = 0;
    // Opening any index takes the device list, which the count needs.
    device_->open_index(0, nullptr);
    const uint32_t count = device_->device_count();
    for (uint32_t i = 0; i < count; ++i) {
        if (!device_->open_index(i, nullptr)) continue;
        const LRESULT at = add_entry(list, device_->name());
        // The last device the stored name matches wins; opening by that
        // name later takes the first (see name_matches).
        if (at >= 0 && choice_.mixer[0] && device_->name_matches(choice_.mixer)) selected = at;
    }
    device_->close();
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    keeping_stored_device_ = choice_.mixer[0] != L'\0' && selected == 0;
}

void m_control_select::fill_controls() {
    HWND list = GetDlgItem(dialog_, IDC_SELECT_CONTROL);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    programs_.clear();
    const bool named = named_device_selected();
    EnableWindow(list, lists_controls());
    if (!lists_controls()) return;
    if (device_->open(named ? choice_.mixer : nullptr, nullptr)) {
        if (named) {
            const uint32_t lines =
                device_->source_count(static_cast<uint32_t>(choice_.destination));
            auto add = [&](int32_t source) {
                add_control_entry(list, control_list_entry(source, control_->name()), source);
            };
            if (control_->open(false, choice_.destination, -1)) add(-1);
            for (uint32_t i = 0; i < lines; ++i) {
                const auto source = static_cast<int32_t>(i);
                if (control_->open(true, choice_.destination, source)) add(source);
            }
        } else {
            add_control_entry(list, control_list_entry(-1, default_entry_), -1);
        }
        if (offer_programs_) programs_ = programs_on(device_->device());
    }
    control_->close();
    device_->close();
    // A stored program that plays nothing now stays choosable as it is.
    if (offer_programs_ && choice_.application[0] &&
        std::none_of(programs_.begin(), programs_.end(), [&](const program_audio& p) {
            return same_file_name(p.file_name.c_str(), choice_.application);
        }))
        programs_.push_back({choice_.application, L""});
    LRESULT selected = 0;
    for (size_t k = 0; k < programs_.size(); ++k) {
        const program_audio& p = programs_[k];
        const LRESULT at = add_control_entry(
            list,
            control_list_entry(application_source, program_label(p.display_name, p.file_name)),
            program_item(k));
        if (at >= 0 && choice_.application[0] &&
            same_file_name(p.file_name.c_str(), choice_.application))
            selected = at;
    }
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && !choice_.application[0]; ++i)
        if (SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == choice_.source) {
            selected = i;
            break;
        }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

const program_audio* m_control_select::selected_program() const {
    if (!lists_controls()) return nullptr;
    HWND list = GetDlgItem(dialog_, IDC_SELECT_CONTROL);
    const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected < 0) return nullptr;
    const LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    if (data > application_source) return nullptr;
    const auto k = static_cast<size_t>(application_source - data);
    return k < programs_.size() ? &programs_[k] : nullptr;
}

bool m_control_select::named_device_selected() const {
    return SendDlgItemMessageW(dialog_, IDC_SELECT_MIXER, CB_GETCURSEL, 0, 0) > 0;
}

void m_control_select::on_device_changed() {
    keeping_stored_device_ = false;
    choice_.mixer[0] = L'\0';
    choice_.destination = 0;
    choice_.source = -1;
    choice_.balance = 0;
    choice_.application[0] = L'\0';
    HWND list = GetDlgItem(dialog_, IDC_SELECT_MIXER);
    const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected > 0) copy_text(choice_.mixer, mixer_capacity, combo_entry(list, selected));
    fill_controls();
    choice_.source = -1;
    on_control_changed();
}

void m_control_select::on_control_changed() {
    choice_.application[0] = L'\0';
    if (const program_audio* program = selected_program()) {
        choice_.source = application_source;
        copy_text(choice_.application, application_capacity, program->file_name);
    } else if (lists_controls()) {
        HWND list = GetDlgItem(dialog_, IDC_SELECT_CONTROL);
        const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
        choice_.source = selected < 0
                             ? -1
                             : static_cast<int32_t>(SendMessageW(list, CB_GETITEMDATA,
                                                                 static_cast<WPARAM>(selected), 0));
    }
    choice_.balance = 0;
    update_caption();
    update_channels();
    show_balance();
}

void m_control_select::on_balance_moved() {
    // The trackbar also notifies when it merely repaints; only a new position
    // replaces the balance, so a stored value between two steps survives.
    const auto position =
        static_cast<int32_t>(SendDlgItemMessageW(dialog_, IDC_SELECT_BALANCE, TBM_GETPOS, 0, 0));
    if (position == shown_position_) return;
    shown_position_ = position;
    choice_.balance = position * balance_step;
    SetDlgItemTextW(dialog_, IDC_SELECT_BALANCE_TEXT,
                    balance_percent_text(choice_.balance).c_str());
}

void m_control_select::update_caption() {
    if (keeping_stored_device_) return;
    if (const program_audio* program = selected_program()) {
        copy_text(choice_.caption, caption_capacity, program_caption(*program));
        return;
    }
    if (!named_device_selected()) {
        copy_text(choice_.caption, caption_capacity, default_caption_);
        return;
    }
    HWND list = GetDlgItem(dialog_, IDC_SELECT_CONTROL);
    const std::wstring entry = combo_entry(list, SendMessageW(list, CB_GETCURSEL, 0, 0));
    copy_text(choice_.caption, caption_capacity, caption_from_control_entry(entry));
}

void m_control_select::update_channels() {
    uint32_t channels = 0;
    if (selected_program()) {
        channels = 1; // a session's simple volume is one level
    } else if (named_device_selected()) {
        if (device_->open(choice_.mixer, nullptr) &&
            control_->open(choice_.source != -1, choice_.destination, choice_.source))
            channels = control_->channels();
        control_->close();
        device_->close();
    }
    wchar_t text[16];
    StringCchPrintfW(text, std::size(text), L"%u", channels);
    SetDlgItemTextW(dialog_, IDC_SELECT_CHANNELS, text);
    // Only a stereo line takes a balance (the master volume ignores it).
    EnableWindow(GetDlgItem(dialog_, IDC_SELECT_BALANCE), channels == 2);
}

void m_control_select::show_balance() {
    shown_position_ = choice_.balance / balance_step;
    SendDlgItemMessageW(dialog_, IDC_SELECT_BALANCE, TBM_SETPOS, TRUE, shown_position_);
    SetDlgItemTextW(dialog_, IDC_SELECT_BALANCE_TEXT,
                    balance_percent_text(choice_.balance).c_str());
}

bool run_control_select(HMODULE module, HWND owner, control_choice& choice,
                        bool offer_programs) noexcept {
    try {
        m_control_select dialog(module, choice, offer_programs);
        if (!dialog.run(owner)) return false;
        const control_choice& chosen = dialog.choice();
        copy_text(choice.mixer, mixer_capacity, chosen.mixer);
        choice.destination = chosen.destination;
        choice.source = chosen.source;
        choice.balance = chosen.balance;
        copy_text(choice.caption, caption_capacity, chosen.caption);
        copy_text(choice.application, application_capacity, chosen.application);
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// The description

namespace {

// A program's audio on the device `stored` names (empty: the default one),
// described from a control opened for the moment: its name is the one the
// program's session gives itself, when it plays.
std::wstring describe_program(HMODULE module, std::wstring_view stored,
                              const wchar_t* application) {
    const std::wstring name(stored);
    const std::wstring default_entry = default_mixer_entry(ui_string(module, IDS_DEFAULT_MIXER));
    std::unique_ptr<m_mxrctl_ca> device(new m_mxrctl_ca);
    const bool device_open = device->open(name.empty() ? nullptr : name.c_str(), nullptr);
    std::unique_ptr<m_mxrctl::m_devs> control(
        device_open ? create_application_control(*device, application) : nullptr);
    const bool opened = control && control->open(false, 0, -1);
    const std::wstring label = opened ? program_label(control->name(), application) : L"";
    control_facts facts;
    facts.mixer = name.empty()  ? default_entry.c_str()
                  : device_open ? device->name()
                                : name.c_str();
    facts.source = application_source;
    facts.control = opened ? label.c_str() : nullptr;
    facts.channels = opened ? control->channels() : 0;
    std::wstring text = describe_control_facts(module, facts, balance_unit::percent);
    control.reset(); // before the device it refers to
    return text;
}

} // namespace

void describe_control(HMODULE module, const control_entry& entry, wchar_t* text,
                      size_t capacity) noexcept {
    if (!text || capacity == 0) return;
    text[0] = L'\0';
    try {
        if (!entry.caption[0]) {
            load_ui_string(module, IDS_NOT_REGISTERED, text, capacity);
            return;
        }
        const std::wstring_view stored(entry.mixer, wcsnlen(entry.mixer, mixer_capacity - 1));
        if (entry.application[0]) {
            copy_text(text, capacity, describe_program(module, stored, entry.application));
            return;
        }
        if (stored.empty()) {
            copy_text(text, capacity, default_mixer_entry(ui_string(module, IDS_DEFAULT_MIXER)));
            return;
        }
        const std::wstring name(stored);
        std::unique_ptr<m_mxrctl> device(new m_mxrctl_ca);
        std::unique_ptr<m_mxrctl::m_devs> control(device->create_control());
        const bool opened = device->open(name.c_str(), nullptr) &&
                            control->open(entry.source != -1, entry.destination, entry.source);
        control_facts facts;
        facts.mixer = opened ? device->name() : name.c_str();
        facts.destination = entry.destination;
        facts.source = entry.source;
        facts.control = opened ? control->name() : nullptr;
        facts.channels = opened ? control->channels() : 0;
        facts.balance = entry.balance;
        copy_text(text, capacity, describe_control_facts(module, facts, balance_unit::percent));
    } catch (...) {
        text[0] = L'\0';
    }
}
