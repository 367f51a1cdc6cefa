#include "tests/support/harness.h"

#include "tests/support/files.h"

#include "common/gdiplus_include.h"
#include "common/unique_resource.h"

#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace test_support {

std::wstring build_bin_folder() {
    std::wstring tests = exe_folder();
    return tests.substr(0, tests.find_last_of(L"\\/")) + L"\\bin";
}

std::wstring test_output_folder() {
    std::wstring tests = exe_folder();
    std::wstring folder = tests.substr(0, tests.find_last_of(L"\\/")) + L"\\test-output";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// message_window ----------------------------------------------------------------

message_window::message_window() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"test_message_window";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
}

message_window::~message_window() {
    if (window_) DestroyWindow(window_);
}

std::vector<MSG> message_window::take(UINT first, UINT last) const {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageW(&msg, window_, first, last, PM_REMOVE)) taken.push_back(msg);
    return taken;
}

// program_folder --------------------------------------------------------------

program_folder::program_folder(const options& what) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
        std::wstring name = std::wstring(base) + L"zuvo" + std::to_wstring(GetCurrentProcessId()) +
                            L"_" + std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(name.c_str(), nullptr)) path_ = name;
    }
    const std::wstring bin = build_bin_folder();
    CopyFileW((bin + L"\\zuvo.exe").c_str(), exe().c_str(), FALSE);
    // The settings editor must lie beside the main program.
    CopyFileW((bin + L"\\zuvoset.exe").c_str(), setup_exe().c_str(), FALSE);
    if (what.hook_library)
        CopyFileW((bin + L"\\zuvohook.dll").c_str(), file(L"zuvohook.dll").c_str(), FALSE);
    if (what.resources && file_exists(bin + L"\\resource"))
        copy_tree(bin + L"\\resource", file(L"resource"));
    if (what.plugins && file_exists(bin + L"\\plugin"))
        copy_tree(bin + L"\\plugin", file(L"plugin"));
}

program_folder::~program_folder() {
    if (!path_.empty()) remove_tree(path_);
}

bool program_folder::write_ini(const std::wstring& name, const std::wstring& text) const {
    return write_utf16(file(name), text);
}

bool program_folder::copy_in(const std::wstring& source, const std::wstring& name) const {
    std::wstring from =
        source.find(L'\\') == std::wstring::npos ? build_bin_folder() + L"\\" + source : source;
    std::wstring to = file(name);
    std::wstring folder = to.substr(0, to.find_last_of(L'\\'));
    CreateDirectoryW(folder.c_str(), nullptr);
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool program_folder::remove(const std::wstring& name) const {
    return DeleteFileW(file(name).c_str()) != FALSE;
}

// process -----------------------------------------------------------------------

process::process(process&& other) noexcept : info_(other.info_) {
    other.info_ = {};
}

process& process::operator=(process&& other) noexcept {
    if (this != &other) {
        terminate();
        info_ = other.info_;
        other.info_ = {};
    }
    return *this;
}

process::~process() {
    terminate();
}

namespace {

bool same_name(const std::wstring& entry, const std::wstring& name) {
    return entry.size() > name.size() && entry[name.size()] == L'=' &&
           CompareStringOrdinal(entry.c_str(), static_cast<int>(name.size()), name.c_str(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// Our environment with `changes` applied, as a block for CreateProcessW.
std::vector<wchar_t> environment_block(const environment_changes& changes) {
    std::vector<std::wstring> entries;
    if (wchar_t* own = GetEnvironmentStringsW()) {
        for (const wchar_t* p = own; *p; p += lstrlenW(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(own);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(entries, [&](const std::wstring& e) { return same_name(e, name); });
        entries.push_back(name + L"=" + value);
    }
    std::vector<wchar_t> block;
    for (const auto& e : entries) {
        block.insert(block.end(), e.begin(), e.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

bool create_process(const wchar_t* application, const std::wstring& command_line,
                    const std::wstring& current_directory, const environment_changes& changes,
                    PROCESS_INFORMATION& info) {
    // Our own first use of the desktop, when it coincides with the child's,
    // can stall both for 10 s while Wine brings up its desktop process.
    GetDesktopWindow();
    std::vector<wchar_t> writable(command_line.begin(), command_line.end());
    writable.push_back(L'\0');
    std::vector<wchar_t> block;
    if (!changes.empty()) block = environment_block(changes);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(application, writable.data(), nullptr, nullptr, FALSE,
                          block.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                          block.empty() ? nullptr : block.data(),
                          current_directory.empty() ? nullptr : current_directory.c_str(), &startup,
                          &info) != FALSE;
}

} // namespace

process process::start(const std::wstring& command_line, const std::wstring& current_directory,
                       const environment_changes& changes) {
    process started;
    if (!create_process(nullptr, command_line, current_directory, changes, started.info_))
        started.info_ = {};
    return started;
}

process process::open(DWORD process_id) {
    process opened;
    opened.info_.hProcess = OpenProcess(
        SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (opened.info_.hProcess) opened.info_.dwProcessId = process_id;
    return opened;
}

bool start_in_unix_locale(const std::wstring& command_line, const std::wstring& current_directory,
                          const std::wstring& locale) {
    wchar_t loader[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || loader[0] != L'/') return false;
    // Wine's drive Z: is the Unix root.
    std::wstring application = L"Z:" + std::wstring(loader);
    for (wchar_t& c : application)
        if (c == L'/') c = L'\\';
    PROCESS_INFORMATION info{};
    const bool started =
        create_process(application.c_str(), L"\"" + std::wstring(loader) + L"\" " + command_line,
                       current_directory, {{L"LANG", locale}, {L"LC_ALL", locale}}, info);
    // A Unix child has no Windows handles; close whatever came back.
    unique_handle child_process(info.hProcess), child_thread(info.hThread);
    return started;
}

std::vector<DWORD> process_ids(const wchar_t* exe_name) {
    std::vector<DWORD> ids;
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (lstrcmpiW(entry.szExeFile, exe_name) == 0) ids.push_back(entry.th32ProcessID);
    return ids;
}

std::vector<std::wstring> module_paths(DWORD process_id) {
    std::vector<std::wstring> paths;
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id));
    if (!snapshot) return paths;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot.get(), &entry); more;
         more = Module32NextW(snapshot.get(), &entry))
        paths.emplace_back(entry.szExePath);
    return paths;
}

DWORD window_process(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

bool process::running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> process::wait(std::chrono::milliseconds timeout) const {
    if (!info_.hProcess) return std::nullopt;
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void process::terminate() {
    if (info_.hProcess) {
        if (running()) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
    }
    if (info_.hThread) CloseHandle(info_.hThread);
    info_ = {};
}

// windows -----------------------------------------------------------------------

namespace {

struct window_search {
    const wchar_t* class_name;
    const wchar_t* caption;
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<window_search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->process_id && owner != search->process_id) return TRUE;
    wchar_t text[256];
    if (search->class_name) {
        GetClassNameW(window, text, 256);
        if (lstrcmpW(text, search->class_name) != 0) return TRUE;
    }
    if (search->caption) {
        GetWindowTextW(window, text, 256);
        if (lstrcmpW(text, search->caption) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND find_window(const wchar_t* class_name, const wchar_t* caption, DWORD process_id) {
    window_search search{class_name, caption, process_id, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct window_list {
    const wchar_t* class_name;
    DWORD process_id;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM context) {
    auto* list = reinterpret_cast<window_list*>(context);
    if (list->process_id && window_process(window) != list->process_id) return TRUE;
    wchar_t name[256];
    GetClassNameW(window, name, 256);
    if (lstrcmpW(name, list->class_name) == 0) list->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> find_windows(const wchar_t* class_name, DWORD process_id) {
    window_list list{class_name, process_id, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&list));
    return list.found;
}

std::vector<HWND> open_menus(DWORD process_id) {
    std::vector<HWND> shown;
    for (HWND w : find_windows(L"#32768", process_id))
        if (IsWindowVisible(w)) shown.push_back(w);
    return shown;
}

HWND wait_for_window(const wchar_t* class_name, DWORD process_id,
                     std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    wait_until([&] { return (found = find_window(class_name, nullptr, process_id)) != nullptr; },
               timeout);
    return found;
}

bool wait_for_window_gone(HWND window, std::chrono::milliseconds timeout) {
    return wait_until([&] { return !IsWindow(window); }, timeout);
}

std::optional<message_box> wait_for_message_box(const wchar_t* caption, DWORD process_id,
                                                std::chrono::milliseconds timeout, HWND owner) {
    HWND box = nullptr;
    auto find = [&] {
        if (!owner) return find_window(L"#32770", caption, process_id);
        for (HWND window : find_windows(L"#32770", process_id)) {
            wchar_t text[256] = L"";
            GetWindowTextW(window, text, 256);
            if (GetWindow(window, GW_OWNER) == owner && (!caption || caption == std::wstring(text)))
                return window;
        }
        return static_cast<HWND>(nullptr);
    };
    if (!wait_until([&] { return (box = find()) != nullptr; }, timeout)) return std::nullopt;
    message_box result{box, {}};
    // The text is the box's static control; give it a moment to be created.
    wait_until(
        [&] {
            wchar_t text[1024] = L"";
            HWND label = GetDlgItem(box, 0xFFFF);
            if (!label) return false;
            GetWindowTextW(label, text, 1024);
            result.text = text;
            return true;
        },
        std::chrono::seconds(2));
    return result;
}

bool close_message_box(HWND box) {
    if (!IsWindow(box)) return false;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (wait_for_window_gone(box, std::chrono::seconds(2))) return true;
    PostMessageW(box, WM_CLOSE, 0, 0);
    return wait_for_window_gone(box, std::chrono::seconds(5));
}

bool has_message_box(DWORD process_id) {
    return find_window(L"#32770", nullptr, process_id) != nullptr;
}

// screenshots ---------------------------------------------------------------------

namespace {
class gdiplus_session {
public:
    gdiplus_session() {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~gdiplus_session() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};
} // namespace

bool save_screenshot(const std::wstring& png_path, const RECT* area) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT r = area ? *area : screen;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen_dc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen_dc);
    HBITMAP bitmap = CreateCompatibleBitmap(screen_dc, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen_dc, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    bool saved = false;
    {
        gdiplus_session gdiplus;
        if (gdiplus.ok()) {
            Gdiplus::Bitmap image(bitmap, nullptr);
            // The PNG encoder of GDI+.
            const CLSID png = {
                0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
            saved = image.Save(png_path.c_str(), &png, nullptr) == Gdiplus::Ok;
        }
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen_dc);
    return saved;
}

std::vector<COLORREF> screen_pixels(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<COLORREF> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen_dc = GetDC(nullptr);
    unique_hdc memory(CreateCompatibleDC(screen_dc));
    unique_hbitmap bitmap(CreateCompatibleBitmap(screen_dc, width, height));
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen_dc, area.left, area.top, SRCCOPY);
    SelectObject(memory.get(), old);
    ReleaseDC(nullptr, screen_dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw(static_cast<size_t>(width) * height);
    if (GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), raw.data(), &info,
                  DIB_RGB_COLORS) == height) {
        pixels.reserve(raw.size());
        // 0x00RRGGBB in memory order B, G, R; COLORREF is 0x00BBGGRR.
        for (DWORD p : raw) pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
    return pixels;
}

bool click_at(int x, int y, mouse_button button) {
    SetCursorPos(x, y);
    const bool left = button == mouse_button::left;
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    clicks[1].mi.dwFlags = left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    return SendInput(2, clicks, sizeof(INPUT)) == 2;
}

void park_pointer() {
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) * 3 / 4, GetSystemMetrics(SM_CYSCREEN) / 4);
}

HWND tray_icon_window() {
    // Wine shows notification-area icons as child windows of its own tray.
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    return tray ? FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr) : nullptr;
}

std::vector<std::pair<int, int>> text_row_runs(const RECT& area) {
    const std::vector<COLORREF> pixels = screen_pixels(area);
    const int width = area.right - area.left;
    std::vector<std::pair<int, int>> runs;
    if (pixels.empty() || width <= 0) return runs;
    const int height = static_cast<int>(pixels.size()) / width;
    bool inside = false;
    for (int y = 0; y < height; ++y) {
        const auto row = pixels.begin() + static_cast<ptrdiff_t>(y) * width;
        const bool text = std::any_of(row, row + width, [&](COLORREF c) { return c != pixels[0]; });
        if (text && !inside) runs.push_back({y, y + 1});
        if (text) runs.back().second = y + 1;
        inside = text;
    }
    return runs;
}

std::wstring directory_or_temp(const std::wstring& directory) {
    if (!directory.empty()) return directory;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

// zuvo_process ------------------------------------------------------------------

namespace {

// A Quellbar that another test started (the settings editor's restart, an
// installer) and left closing would take this one's start as a second start
// and end it: wait for it, and end it if it does not go.
void end_earlier_programs() {
    std::vector<HWND> left = find_windows(L"Quellbar_Class");
    if (left.empty() ||
        wait_until([] { return find_windows(L"Quellbar_Class").empty(); }, std::chrono::seconds(5)))
        return;
    for (HWND window : find_windows(L"Quellbar_Class")) {
        process earlier = process::open(window_process(window));
        if (!earlier) continue;
        fwprintf(stderr, L"harness: a zuvo.exe of an earlier test still runs (%ls); ending it\n",
                 image_path(earlier).c_str());
        earlier.terminate();
    }
}

} // namespace

zuvo_process::zuvo_process(const program_folder& folder, const options& how) {
    const std::wstring directory = directory_or_temp(how.current_directory);
    end_earlier_programs();
    process_ = process::start(L"\"" + folder.exe() + L"\"", directory);
    if (!process_) return;
    window_ = wait_for_window(L"Quellbar_Class", process_.id());
    if (!window_) {
        // Said here, since the test only sees a missing window.
        const auto code = process_.wait(std::chrono::milliseconds(0));
        fwprintf(stderr, L"harness: zuvo.exe showed no window in 10 s; %ls %lu\n",
                 code ? L"it ended with" : L"it still runs, process", code ? *code : process_.id());
        return;
    }
    if (how.close_hook_warning && !file_exists(folder.file(L"zuvohook.dll"))) {
        if (auto box = wait_for_message_box(L"Quellbar", process_.id()))
            close_message_box(box->window);
    }
    if (how.wait_for_loop) sync();
}

zuvo_process::~zuvo_process() {
    if (process_.running() && window_) {
        PostMessageW(window_, WM_COMMAND, 0x0504, 0);
        process_.wait(std::chrono::seconds(5));
    }
}

bool zuvo_process::sync(std::chrono::milliseconds timeout) const {
    DWORD_PTR ignored = 0;
    return window_ && SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL,
                                          static_cast<UINT>(timeout.count()), &ignored) != 0;
}

bool zuvo_process::post_command(WPARAM wparam, LPARAM lparam) const {
    return window_ && PostMessageW(window_, WM_COMMAND, wparam, lparam) != FALSE;
}

std::optional<DWORD> zuvo_process::exit() {
    post_command(0x0504);
    return process_.wait(std::chrono::seconds(10));
}

namespace {
constexpr wchar_t run_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
} // namespace

std::optional<std::wstring> quellbar_run_value() {
    wchar_t data[1024] = L"";
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, run_key, L"Quellbar", RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

bool set_quellbar_run_value(const std::optional<std::wstring>& value) {
    if (!value) {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, run_key, L"Quellbar");
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return RegSetKeyValueW(HKEY_CURRENT_USER, run_key, L"Quellbar", REG_SZ, value->c_str(),
                           static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::wstring image_path(const process& running) {
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(running.handle(), 0, path, &size);
    return path;
}

} // namespace test_support
