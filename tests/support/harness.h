#pragma once
// Whole-program tests: a temporary program folder laid out from the build,
// the programs started in it, their windows, message boxes and screenshots.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace test_support {

// The build's program folder (<build>/bin) and a folder for test output
// (<build>/test-output), found from the test executable in <build>/tests.
std::wstring build_bin_folder();
std::wstring test_output_folder();

// `directory`, or the temporary directory when it is empty: where the
// programs are started from, so that they must find their own folder.
std::wstring directory_or_temp(const std::wstring& directory);

// Polls `done` every `step` until it returns true or `timeout` passes.
template <typename Predicate>
bool wait_until(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                std::chrono::milliseconds step = std::chrono::milliseconds(20)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(step);
    }
}

// A hidden window of the calling thread that collects what is posted to it.
class message_window {
public:
    message_window();
    message_window(const message_window&) = delete;
    message_window& operator=(const message_window&) = delete;
    ~message_window();

    HWND get() const { return window_; }
    // Everything posted to the window in [first, last] so far, oldest first,
    // taken out of the queue.
    std::vector<MSG> take(UINT first = 0, UINT last = 0) const;

private:
    HWND window_ = nullptr;
};

// A program folder in the temporary directory with zuvo.exe and what else
// the build made: libraries beside it, plugin\ and resource\.
class program_folder {
public:
    struct options {
        bool hook_library = true; // zuvohook.dll, when the build has it
        bool resources = true;    // resource\ with resource.ini and pictures
        bool plugins = false;     // the shipped plugin\ folder
    };
    program_folder() : program_folder(options{}) {}
    explicit program_folder(const options& what);
    program_folder(const program_folder&) = delete;
    program_folder& operator=(const program_folder&) = delete;
    ~program_folder();

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::wstring exe() const { return file(L"zuvo.exe"); }
    std::wstring setup_exe() const { return file(L"zuvoset.exe"); }
    // Writes a settings file as the programs create them (UTF-16 with mark).
    bool write_ini(const std::wstring& name, const std::wstring& text) const;
    // Copies a file of the build's program folder (or another path) in.
    bool copy_in(const std::wstring& source, const std::wstring& name) const;
    bool remove(const std::wstring& name) const;

private:
    std::wstring path_;
};

// Variables to set (or replace) in a child's environment: name, value.
using environment_changes = std::vector<std::pair<std::wstring, std::wstring>>;

// A started process, terminated at destruction if it still runs.
class process {
public:
    process() = default;
    process(process&& other) noexcept;
    process& operator=(process&& other) noexcept;
    process(const process&) = delete;
    process& operator=(const process&) = delete;
    ~process();

    // `command_line` as for CreateProcessW; `current_directory` may be empty;
    // `changes` are applied to a copy of our environment. Under Wine 8 a
    // Windows child keeps our Unix environment whatever its block says, so
    // LANG and LC_ALL there do not change its language: see
    // start_in_unix_locale.
    static process start(const std::wstring& command_line, const std::wstring& current_directory,
                         const environment_changes& changes = {});
    // A process started by someone else (an empty object when it is gone).
    static process open(DWORD process_id);

    explicit operator bool() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    bool running() const;
    // The exit code, or nothing when the process is still running after `timeout`.
    std::optional<DWORD> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void terminate();

private:
    PROCESS_INFORMATION info_{};
};

// Starts a Windows program through the Wine loader as a Unix program: Wine
// then builds the child's Unix environment from our environment block, so
// that LANG and LC_ALL (e.g. "ja_JP.UTF-8") set its language. No handle
// comes back; find the process through one of its windows (process::open).
bool start_in_unix_locale(const std::wstring& command_line, const std::wstring& current_directory,
                          const std::wstring& locale);

// Ids of the running processes whose executable file is `exe_name`.
std::vector<DWORD> process_ids(const wchar_t* exe_name);
// The full path of the program a process runs.
std::wstring image_path(const process& running);
// The full paths of the modules a process has loaded.
std::vector<std::wstring> module_paths(DWORD process_id);
// The process a window belongs to.
DWORD window_process(HWND window);
// Every top-level window of `class_name` (and of `process_id` when not 0).
std::vector<HWND> find_windows(const wchar_t* class_name, DWORD process_id = 0);

// The menu windows of `process_id` on the screen now, the innermost first.
std::vector<HWND> open_menus(DWORD process_id);

// The first visible or hidden top-level window of `class_name` (any process
// when `process_id` is 0) that appears within `timeout`.
HWND wait_for_window(const wchar_t* class_name, DWORD process_id,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
bool wait_for_window_gone(HWND window,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct message_box {
    HWND window = nullptr;
    std::wstring text;
};
// A message box (dialog class "#32770") with this caption, of `process_id`
// when not 0; its text is read from the box's static text. With `owner`,
// only a box over that window: a dialog may have the box's caption itself.
std::optional<message_box>
wait_for_message_box(const wchar_t* caption, DWORD process_id,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10),
                     HWND owner = nullptr);
// Presses OK (or the only button) of a message box.
bool close_message_box(HWND box);
// Whether any message box of `process_id` is open right now.
bool has_message_box(DWORD process_id);

// Saves the screen (or `area` of it) as a PNG file. False on failure.
bool save_screenshot(const std::wstring& png_path, const RECT* area = nullptr);
// Quellbar's value in the user's Run key (what Windows starts at log-on), or
// nothing; set_quellbar_run_value with nothing removes it.
std::optional<std::wstring> quellbar_run_value();
bool set_quellbar_run_value(const std::optional<std::wstring>& value);

// The screen's pixels in `area`, row by row (empty on failure).
std::vector<COLORREF> screen_pixels(const RECT& area);
// A click with the real mouse at a point of the screen.
enum class mouse_button { left, right };
bool click_at(int x, int y, mouse_button button = mouse_button::left);
// Moves the pointer off every window the tests place (they keep to the
// left half; the tips and the tray are at the bottom). Under Xvfb, with no
// window manager, the X focus can follow the pointer: a test window shown
// or closed under it takes the focus from the program the test types into,
// or ends zuvo.exe's menu loop.
void park_pointer();
// The window in which Wine's notification area shows our icon, or null.
HWND tray_icon_window();
// The runs of pixel rows in `area` of the screen that hold anything but the
// background (the colour of its top-left pixel), as [first, last + 1).
std::vector<std::pair<int, int>> text_row_runs(const RECT& area);

// zuvo.exe started from a program folder, with another current directory
// than its own (the program must make its folder current by itself).
class zuvo_process {
public:
    struct options {
        // Without zuvohook.dll the program warns in a box before it goes on;
        // by default that box is expected and closed.
        bool close_hook_warning = true;
        // Wait until start-up has finished and the message loop runs.
        bool wait_for_loop = true;
        std::wstring current_directory; // empty: the temporary directory
    };
    explicit zuvo_process(const program_folder& folder) : zuvo_process(folder, options{}) {}
    zuvo_process(const program_folder& folder, const options& how);
    zuvo_process(const zuvo_process&) = delete;
    zuvo_process& operator=(const zuvo_process&) = delete;
    // Ends the program with the exit command if it still runs.
    ~zuvo_process();

    HWND window() const { return window_; }
    // Returns once the program's thread retrieves messages again: start-up
    // is over (or a modal loop runs). A sent message overtakes posted ones,
    // so this does not wait for commands posted before; use probe_sync().
    bool sync(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    process& proc() { return process_; }
    bool post_command(WPARAM wparam, LPARAM lparam = 0) const;
    // Posts the exit command and returns the exit code (nothing on time-out).
    std::optional<DWORD> exit();

private:
    process process_;
    HWND window_ = nullptr;
};

} // namespace test_support
