#include "tests/support/setup_driver.h"

#include "common/unique_resource.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace test_support {

namespace {

constexpr int tree_id = 31001;
constexpr UINT send_timeout_ms = 10000;

std::wstring class_of(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// The frame is the dialog with the page tree; a message box of the program
// has the same class and caption.
HWND find_frame(DWORD process_id) {
    for (HWND window : find_windows(L"#32770", process_id))
        if (text_of(window) == setup_caption && GetDlgItem(window, tree_id)) return window;
    return nullptr;
}

struct page_search {
    HWND frame;
    std::vector<HWND> visible;
};

BOOL CALLBACK collect_page(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<page_search*>(context);
    if (GetParent(window) == search->frame && class_of(window) == L"#32770" &&
        IsWindowVisible(window))
        search->visible.push_back(window);
    return TRUE;
}

} // namespace

const wchar_t* setup_page_name(setup_page page) {
    static const wchar_t* const names[setup_page_count] = {L"basic",    L"hotkeys",  L"tips",
                                                           L"controls", L"launcher", L"plugins"};
    const int index = static_cast<int>(page);
    return index >= 0 && index < setup_page_count ? names[index] : L"";
}

// setup_process -------------------------------------------------------------------

setup_process::setup_process(const program_folder& folder, const options& how) {
    const std::wstring directory = directory_or_temp(how.current_directory);
    const std::wstring command = L"\"" + folder.setup_exe() + L"\"";
    if (how.locale.empty()) {
        process_ = process::start(command, directory);
    } else {
        // Started through the loader there is no handle: the program's hidden
        // single-instance window tells which process it is.
        const auto before = find_windows(L"Quellbar_Setup_Class");
        if (!start_in_unix_locale(command, directory, how.locale)) return;
        HWND owner = nullptr;
        wait_until([&] {
            for (HWND window : find_windows(L"Quellbar_Setup_Class"))
                if (std::find(before.begin(), before.end(), window) == before.end()) {
                    owner = window;
                    return true;
                }
            return false;
        });
        if (!owner) return;
        process_ = process::open(window_process(owner));
    }
    if (how.wait_for_frame) wait_for_frame();
}

setup_process::setup_process(process running) : process_(std::move(running)) {
    wait_for_frame();
}

void setup_process::wait_for_frame() {
    if (!process_) return;
    // The dialog exists during WM_INITDIALOG already; it is shown after.
    wait_until([&] {
        frame_ = find_frame(process_.id());
        return frame_ && IsWindowVisible(frame_);
    });
    sync();
}

HWND setup_process::tree() const {
    return frame_ ? GetDlgItem(frame_, tree_id) : nullptr;
}

HWND setup_process::show(setup_page page) {
    HWND items = tree();
    if (!items) return nullptr;
    auto next = [&](WPARAM relation, LRESULT from) {
        const LRESULT item = send_to(items, TVM_GETNEXTITEM, relation, from);
        return item == -1 ? 0 : item;
    };
    LRESULT item = next(TVGN_ROOT, 0);
    for (int i = 0; i < static_cast<int>(page) && item; ++i) item = next(TVGN_NEXT, item);
    if (!item) return nullptr;
    send_to(items, TVM_SELECTITEM, TVGN_CARET, item);
    // A page is made visible after the frame shows, and under load the
    // first one may not be yet.
    HWND page_window = nullptr;
    wait_until([&] { return (page_window = shown_page()) != nullptr; });
    return page_window;
}

HWND setup_process::shown_page() const {
    page_search search{frame_, {}};
    if (frame_) EnumChildWindows(frame_, collect_page, reinterpret_cast<LPARAM>(&search));
    return search.visible.size() == 1 ? search.visible.front() : nullptr;
}

bool setup_process::sync() const {
    DWORD_PTR ignored = 0;
    return frame_ &&
           SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_NORMAL, send_timeout_ms, &ignored) != 0;
}

void setup_process::press(int id) const {
    if (frame_) PostMessageW(GetDlgItem(frame_, id), BM_CLICK, 0, 0);
}

std::optional<DWORD> setup_process::ok(std::chrono::milliseconds timeout) {
    press(IDOK);
    return wait_for_end(timeout);
}

std::optional<DWORD> setup_process::cancel(std::chrono::milliseconds timeout) {
    press(IDCANCEL);
    return wait_for_end(timeout);
}

std::optional<DWORD> setup_process::wait_for_end(std::chrono::milliseconds timeout) {
    const auto code = process_.wait(timeout);
    // Its windows may outlive the process a moment; an editor started then
    // would take the one that marks this instance for a running editor.
    if (code)
        wait_until([&] { return find_windows(L"Quellbar_Setup_Class", process_.id()).empty(); });
    return code;
}

HWND setup_process::wait_for_dialog(std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : find_windows(L"#32770", process_.id()))
                if (window != frame_ && IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

void setup_process::settle() const {
    if (!frame_) return;
    SetWindowPos(frame_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(frame_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Painting follows once the program's queue is empty.
    sync();
    Sleep(150);
    sync();
}

bool setup_process::screenshot(const std::wstring& png_path) const {
    if (!frame_) return false;
    settle();
    RECT area{};
    GetWindowRect(frame_, &area);
    return save_screenshot(png_path, &area);
}

// controls ------------------------------------------------------------------------

LRESULT send_to(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!window || !SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL,
                                        send_timeout_ms, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

HWND control(HWND dialog, int id) {
    return dialog ? GetDlgItem(dialog, id) : nullptr;
}

void set_text(HWND dialog, int id, const std::wstring& text) {
    send_to(control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void leave_edit(HWND dialog, int id) {
    send_to(dialog, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
            reinterpret_cast<LPARAM>(control(dialog, id)));
}

void type_into(HWND dialog, int id, const std::wstring& text) {
    set_text(dialog, id, text);
    leave_edit(dialog, id);
}

void choose_combo(HWND dialog, int id, int index) {
    send_to(control(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    send_to(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(control(dialog, id)));
}

bool choose_combo_text(HWND dialog, int id, const std::wstring& text) {
    const auto items = combo_items(dialog, id);
    const auto found = std::find(items.begin(), items.end(), text);
    if (found == items.end()) return false;
    choose_combo(dialog, id, static_cast<int>(found - items.begin()));
    return true;
}

void choose_list(HWND dialog, int id, int index) {
    send_to(control(dialog, id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    send_to(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
            reinterpret_cast<LPARAM>(control(dialog, id)));
}

void move_trackbar(HWND dialog, int id, int position) {
    HWND bar = control(dialog, id);
    send_to(bar, TBM_SETPOS, TRUE, position);
    const auto from = reinterpret_cast<LPARAM>(bar);
    send_to(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), from);
    send_to(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), from);
    send_to(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
}

void click(HWND dialog, int id) {
    send_to(control(dialog, id), BM_CLICK);
}

void click_later(HWND dialog, int id) {
    PostMessageW(control(dialog, id), BM_CLICK, 0, 0);
}

void press_key(HWND dialog, int id, UINT virtual_key) {
    HWND target = control(dialog, id);
    send_to(target, WM_KEYDOWN, virtual_key, 1);
    send_to(target, WM_KEYUP, virtual_key, 0xC0000001);
}

void tab_through(HWND dialog) {
    if (!dialog) return;
    struct focus_codes {
        const wchar_t* class_name;
        WORD set, kill;
    };
    static const focus_codes kinds[] = {{L"Edit", EN_SETFOCUS, EN_KILLFOCUS},
                                        {L"ComboBox", CBN_SETFOCUS, CBN_KILLFOCUS},
                                        {L"ListBox", LBN_SETFOCUS, LBN_KILLFOCUS}};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        if (!(style & WS_TABSTOP) || !IsWindowVisible(child) || !IsWindowEnabled(child)) continue;
        const std::wstring name = class_of(child);
        for (const focus_codes& kind : kinds) {
            if (name != kind.class_name) continue;
            const auto id = static_cast<WORD>(GetDlgCtrlID(child));
            const auto from = reinterpret_cast<LPARAM>(child);
            send_to(dialog, WM_COMMAND, MAKEWPARAM(id, kind.set), from);
            send_to(dialog, WM_COMMAND, MAKEWPARAM(id, kind.kill), from);
        }
    }
}

namespace {

constexpr uint32_t hotkey_ctrl = 0x0100, hotkey_alt = 0x0200, hotkey_shift = 0x0400,
                   hotkey_win = 0x0800, hotkey_extended = 0x8000;

} // namespace

uint32_t shown_hotkey(HWND dialog, const hotkey_ids& ids) {
    const auto word = static_cast<uint32_t>(send_to(control(dialog, ids.key), HKM_GETHOTKEY));
    uint32_t code = word & 0xFFu;
    if ((word >> 8) & HOTKEYF_EXT) code |= hotkey_extended;
    if (checked(dialog, ids.ctrl)) code |= hotkey_ctrl;
    if (checked(dialog, ids.shift)) code |= hotkey_shift;
    if (checked(dialog, ids.alt)) code |= hotkey_alt;
    if (checked(dialog, ids.win)) code |= hotkey_win;
    return code;
}

void set_hotkey(HWND dialog, const hotkey_ids& ids, uint32_t code) {
    const WPARAM word = (code & 0xFFu) | ((code & hotkey_extended) ? HOTKEYF_EXT << 8 : 0);
    send_to(control(dialog, ids.key), HKM_SETHOTKEY, word);
    const std::pair<int, uint32_t> boxes[] = {{ids.ctrl, hotkey_ctrl},
                                              {ids.shift, hotkey_shift},
                                              {ids.alt, hotkey_alt},
                                              {ids.win, hotkey_win}};
    for (const auto& [box, bit] : boxes)
        if (checked(dialog, box) != ((code & bit) != 0)) click(dialog, box);
}

bool choose_color(const setup_process& editor, HWND dialog, int button, COLORREF color) {
    // The colour dialog's red, green and blue fields.
    constexpr int red = 706, green = 707, blue = 708;
    click_later(dialog, button);
    HWND chooser = editor.wait_for_dialog();
    if (!chooser) return false;
    set_text(chooser, red, std::to_wstring(GetRValue(color)));
    set_text(chooser, green, std::to_wstring(GetGValue(color)));
    set_text(chooser, blue, std::to_wstring(GetBValue(color)));
    click_later(chooser, IDOK);
    return wait_for_window_gone(chooser) && editor.sync();
}

std::wstring text_of(HWND window) {
    wchar_t text[2048] = L"";
    if (window) {
        // WM_GETTEXT reaches controls that keep their own text (edits do).
        send_to(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        text[2047] = L'\0';
    }
    return text;
}

std::wstring text_of(HWND dialog, int id) {
    return text_of(control(dialog, id));
}

namespace {

// The items of a list or combo box through its own count, length and text
// messages (which Windows copies across processes).
std::vector<std::wstring> items_of(HWND box, UINT count_message, UINT length_message,
                                   UINT text_message) {
    std::vector<std::wstring> items;
    const auto count = send_to(box, count_message);
    for (LRESULT i = 0; i < count; ++i) {
        const auto length = send_to(box, length_message, static_cast<WPARAM>(i));
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        send_to(box, text_message, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(wcsnlen(text.c_str(), text.size()));
        items.push_back(text);
    }
    return items;
}

} // namespace

std::vector<std::wstring> combo_items(HWND dialog, int id) {
    return items_of(control(dialog, id), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

std::vector<std::wstring> list_items(HWND dialog, int id) {
    return items_of(control(dialog, id), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

int combo_selection(HWND dialog, int id) {
    return static_cast<int>(send_to(control(dialog, id), CB_GETCURSEL));
}

int list_selection(HWND dialog, int id) {
    return static_cast<int>(send_to(control(dialog, id), LB_GETCURSEL));
}

int trackbar_position(HWND dialog, int id) {
    return static_cast<int>(send_to(control(dialog, id), TBM_GETPOS));
}

bool checked(HWND dialog, int id) {
    return send_to(control(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

bool enabled(HWND dialog, int id) {
    HWND window = control(dialog, id);
    return window && IsWindowEnabled(window);
}

int list_view_count(HWND dialog, int id) {
    return static_cast<int>(send_to(control(dialog, id), LVM_GETITEMCOUNT));
}

bool list_view_ticked(HWND dialog, int id, int item) {
    // State image 2 is the ticked box, 1 the empty one.
    const auto state = send_to(control(dialog, id), LVM_GETITEMSTATE, static_cast<WPARAM>(item),
                               LVIS_STATEIMAGEMASK);
    return ((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::wstring list_view_text(HWND dialog, int id, int item, int column) {
    // LVM_GETITEMTEXTW carries a pointer: the item record and its text
    // buffer must live in the program that owns the list.
    HWND list = control(dialog, id);
    DWORD process_id = 0;
    GetWindowThreadProcessId(list, &process_id);
    unique_handle owner(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id));
    constexpr size_t capacity = 512;
    const size_t size = sizeof(LVITEMW) + capacity * sizeof(wchar_t);
    void* remote =
        owner ? VirtualAllocEx(owner.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
              : nullptr;
    if (!remote) return L"(unreadable)";
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.cchTextMax = static_cast<int>(capacity);
    cell.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
    wchar_t text[capacity] = {};
    SIZE_T moved = 0;
    const bool read =
        WriteProcessMemory(owner.get(), remote, &cell, sizeof cell, &moved) &&
        send_to(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                reinterpret_cast<LPARAM>(remote)) >= 0 &&
        ReadProcessMemory(owner.get(), cell.pszText, text, sizeof text - sizeof(wchar_t), &moved);
    VirtualFreeEx(owner.get(), remote, 0, MEM_RELEASE);
    return read ? std::wstring(text) : L"(unreadable)";
}

} // namespace test_support
