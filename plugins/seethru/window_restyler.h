#pragma once
// Restyling other programs' windows without waiting on them. Changing the
// extended style and the layered alpha of another thread's window sends
// messages to that thread and waits without any limit; a program that is
// busy or has stopped reading messages would hold the main program's one
// thread, and with it the tray, the tips, the hot keys and the taskbar
// wheel's hook. So each window of another thread is restyled on a thread
// of its own, which the main thread waits for a short while at most.
//
// A window has at most one such thread. A change asked for while one is
// being made follows it; of several asked for meanwhile only the last is
// made. The threads hold the plug-in's library loaded until they end, so a
// window that never answers cannot have its thread run into freed code.

#include <windows.h>

#include <cstdint>
#include <memory>

// A window whose messages are this thread's own: changed at once, never
// handed to a thread that would wait for this one.
inline bool is_own_thread_window(HWND window) noexcept {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

class window_restyler {
public:
    enum class outcome { done, refused, pending };

    window_restyler();
    window_restyler(const window_restyler&) = delete;
    window_restyler& operator=(const window_restyler&) = delete;
    // Threads still waiting on their windows go on by themselves.
    ~window_restyler() = default;

    // Makes `window` translucent at `percent` (below 100), or opaque (100:
    // WS_EX_LAYERED removed). Returns the number to wait for.
    uint64_t request(HWND window, uint32_t percent) noexcept;
    // Waits at most `timeout_ms` for request `ticket` on `window` (or a later
    // one) to be made: done, refused by the window's program (another
    // desktop, a higher integrity level), or still pending.
    outcome wait(HWND window, uint64_t ticket, uint32_t timeout_ms) noexcept;
    // Whether a change of `window` is being made or waits to be.
    bool busy(HWND window) const noexcept;
    // Waits at most `timeout_ms` until no window has a change pending.
    bool wait_all(uint32_t timeout_ms) noexcept;

    struct shared;

private:
    std::shared_ptr<shared> shared_;
};
