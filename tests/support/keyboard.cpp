#include "tests/support/keyboard.h"

#include "tests/support/files.h"

#include <string>

namespace test_support {

key_target::key_target(const wchar_t* kind) {
    if (!sink_.get()) return;

    std::wstring command = L"\"" + exe_folder() + L"\\key_target.exe\" " +
                           std::to_wstring(reinterpret_cast<uintptr_t>(sink_.get()));
    if (kind) command += std::wstring(L" ") + kind;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
        return;
    const MSG* ready = nullptr;
    wait_for([&] {
        for (const auto& m : seen_)
            if (m.message == key_target_ready) ready = &m;
        return ready != nullptr;
    });
    if (!ready) return;
    window_ = reinterpret_cast<HWND>(ready->lParam);
    // When its window gets the focus, Wine brings the modifier keys in line
    // with the X keyboard, where nothing is pressed; a modifier pressed before
    // the program has handled that would count as released.
    pause(200);
    sync();
    if (GetForegroundWindow() != window_) window_ = nullptr;
}

key_target::~key_target() {
    release_all();
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void key_target::collect() {
    for (const MSG& msg : sink_.take()) seen_.push_back(msg);
}

bool key_target::wait_for(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        collect();
        if (done()) return true;
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void key_target::pause(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    wait_for([&] { return GetTickCount64() >= end; }, milliseconds + 1000);
}

void key_target::send(WORD key, bool up, bool extended) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &input, sizeof input);
}

bool key_target::stall(DWORD milliseconds) {
    const auto stalls = [&] {
        size_t count = 0;
        for (const auto& m : seen_) count += m.message == key_target_stalling;
        return count;
    };
    collect();
    const size_t before = stalls();
    if (!PostMessageW(window_, key_target_stall, milliseconds, 0)) return false;
    return wait_for([&] { return stalls() > before; });
}

std::vector<LPARAM> key_target::got(WPARAM key, bool down) const {
    std::vector<LPARAM> flags;
    for (const auto& m : seen_) {
        const bool is_up = (static_cast<uint32_t>(m.lParam) & 0x80000000u) != 0;
        if (m.message == key_target_key && m.wParam == key && is_up != down)
            flags.push_back(m.lParam);
    }
    return flags;
}

bool key_target::hold(std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        const WORD reported = key == VK_RCONTROL ? VK_CONTROL : key;
        const size_t before = got(reported, true).size();
        send(key, false, key == VK_RCONTROL);
        if (!wait_for([&] { return got(reported, true).size() > before; })) return false;
    }
    pause(60);
    return true;
}

void key_target::release(std::initializer_list<WORD> keys) {
    for (WORD key : keys) send(key, true, key == VK_RCONTROL);
}

bool key_target::tap(WORD key, bool extended) {
    const size_t before = got(key, false).size();
    send(key, false, extended);
    send(key, true, extended);
    return wait_for([&] { return got(key, false).size() > before; });
}

void key_target::release_all() {
    for (WORD key : {VK_CONTROL, VK_RCONTROL, VK_SHIFT, VK_MENU, VK_LWIN}) send(key, true);
    if (window_) sync();
}

} // namespace test_support
