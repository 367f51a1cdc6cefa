#pragma once
// Whole-program tests of the settings editor: zuvoset.exe started from a
// program folder, its frame and pages found, their controls set through the
// messages and notifications a user's action produces, OK and Cancel pressed,
// screenshots. Everything here works across processes: the messages used
// carry no pointers, or Wine marshals them (WM_SETTEXT, WM_GETTEXT,
// CB_GETLBTEXT, LB_GETTEXT).

#include "tests/support/harness.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// The pages in the order of the editor's tree.
enum class setup_page : int { basic, hotkeys, tips, controls, launcher, plugins };
constexpr int setup_page_count = 6;
// "basic", "hotkeys", ... for file names.
const wchar_t* setup_page_name(setup_page page);

constexpr const wchar_t* setup_caption = L"Quellbar Setup";

class setup_process {
public:
    struct options {
        // Empty: the session's language; else a Unix locale such as
        // "ja_JP.UTF-8" (the program is then started through the Wine
        // loader, see start_in_unix_locale).
        std::wstring locale;
        std::wstring current_directory; // empty: the temporary directory
        // Wait until the frame is shown and its loop runs.
        bool wait_for_frame = true;
    };
    explicit setup_process(const program_folder& folder) : setup_process(folder, options{}) {}
    setup_process(const program_folder& folder, const options& how);
    // An editor someone else started (zuvo.exe's Setup command, for one).
    explicit setup_process(process running);
    setup_process(const setup_process&) = delete;
    setup_process& operator=(const setup_process&) = delete;
    ~setup_process() = default; // the process is terminated if it still runs

    process& proc() { return process_; }
    const process& proc() const { return process_; }
    // The settings dialog ("#32770" captioned "Quellbar Setup" of this
    // process); null when none came.
    HWND frame() const { return frame_; }
    HWND tree() const;
    // Selects the page's tree item, as a click would (the tree tells the
    // frame), and returns the page shown then.
    HWND show(setup_page page);
    // The page shown now: the only visible child dialog of the frame.
    HWND shown_page() const;
    // Returns once the program has handled everything sent to it before.
    bool sync() const;

    // Presses OK (Cancel) with BM_CLICK and waits until the program ends;
    // its exit code, or nothing when it still runs after `timeout`.
    std::optional<DWORD> ok(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::optional<DWORD> cancel(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Presses a button of the frame without waiting.
    void press(int id) const;

    // A top-level dialog of this process other than the frame (a modal one it
    // opened), once it is visible.
    HWND wait_for_dialog(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Raises the frame and waits until it has painted everything.
    void settle() const;
    // The frame as it looks now, saved as PNG.
    bool screenshot(const std::wstring& png_path) const;

private:
    void wait_for_frame();
    // The exit code once the process and its windows are gone.
    std::optional<DWORD> wait_for_end(std::chrono::milliseconds timeout);

    process process_;
    HWND frame_ = nullptr;
};

// Control drivers. `dialog` is a page or a dialog, `id` the control. Each
// returns once the program has handled the message (sent with a time-out).
// send_to answers -1 when the window is gone or does not answer in time, so
// that a count or a selection read from a dead program never looks right.
LRESULT send_to(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
HWND control(HWND dialog, int id);
// WM_SETTEXT alone: what typing leaves in the edit, before it loses focus.
void set_text(HWND dialog, int id, const std::wstring& text);
// EN_KILLFOCUS to the dialog, as leaving the edit would send.
void leave_edit(HWND dialog, int id);
// Both: typing a value and moving on.
void type_into(HWND dialog, int id, const std::wstring& text);
// CB_SETCURSEL and then CBN_SELCHANGE to the dialog.
void choose_combo(HWND dialog, int id, int index);
// The same for the first entry that reads `text`; false when none does.
bool choose_combo_text(HWND dialog, int id, const std::wstring& text);
// LB_SETCURSEL and then LBN_SELCHANGE to the dialog.
void choose_list(HWND dialog, int id, int index);
// TBM_SETPOS and the WM_HSCROLL notifications of a drag to there.
void move_trackbar(HWND dialog, int id, int position);
// BM_CLICK; click_later posts it, for buttons that open a modal dialog.
void click(HWND dialog, int id);
void click_later(HWND dialog, int id);
// Posts a key (down and up) to a control, e.g. VK_HOME, VK_DOWN or VK_SPACE
// to a list view, then waits until the program handled it.
void press_key(HWND dialog, int id, UINT virtual_key);
// What the Tab key makes every control of `dialog` it stops at tell the
// dialog, in tab order: the focus notifications of edits, combo boxes and
// list boxes as the focus comes and goes.
void tab_through(HWND dialog);

// A hot-key editor: hot-key control and its Ctrl, Shift, Alt, Win boxes.
struct hotkey_ids {
    int key, ctrl, shift, alt, win;
};
// The code the editor shows (key, extended flag and boxes, as the settings
// file has it), and setting one: the key put into the control, each box
// clicked that is not as the code wants it.
uint32_t shown_hotkey(HWND dialog, const hotkey_ids& ids);
void set_hotkey(HWND dialog, const hotkey_ids& ids, uint32_t code);

// The colour dialog that `button` opens: `color` typed into its red, green
// and blue fields, then OK. False when no dialog came or it did not close.
bool choose_color(const setup_process& editor, HWND dialog, int button, COLORREF color);

std::wstring text_of(HWND dialog, int id);
std::wstring text_of(HWND window);
std::vector<std::wstring> combo_items(HWND dialog, int id);
std::vector<std::wstring> list_items(HWND dialog, int id);
int combo_selection(HWND dialog, int id);
int list_selection(HWND dialog, int id);
int trackbar_position(HWND dialog, int id);
bool checked(HWND dialog, int id);
bool enabled(HWND dialog, int id);
// List views: item count, and whether item `item`'s check box is ticked.
int list_view_count(HWND dialog, int id);
bool list_view_ticked(HWND dialog, int id, int item);
// The text of column `column` of item `item`, read through a buffer in the
// program's own memory; "(unreadable)" when that fails.
std::wstring list_view_text(HWND dialog, int id, int item, int column);

} // namespace test_support
