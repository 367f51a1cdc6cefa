#pragma once
// Keys typed into another program, for the hot-key tests: key_target.exe
// holds the keyboard and reports every key message it gets to a window of
// the test, and the test types with SendInput.
//
// Two things of Wine decide how the typing is paced. The hook reads the
// modifiers with GetAsyncKeyState when the program in front retrieves the
// key, so modifiers are pressed first and the key comes once that program
// has them, and they are released only after it took the key. And Wine
// answers GetAsyncKeyState from a per-thread copy for 50 ms after it last
// asked the server, so a key follows its modifiers by more than that.

#include "tests/support/harness.h"
#include "tests/support/key_target_protocol.h"

#include <functional>
#include <initializer_list>
#include <vector>

namespace test_support {

class key_target {
public:
    // Starts key_target.exe (beside the test) in front and waits until it
    // has the keyboard. Check with operator bool. `kind`: see
    // key_target_main.cpp ("sizable", "owned", "slow", ...); window() is the
    // one in front.
    explicit key_target(const wchar_t* kind = nullptr);
    key_target(const key_target&) = delete;
    key_target& operator=(const key_target&) = delete;
    ~key_target();

    explicit operator bool() const { return window_ != nullptr; }
    // The test's own window: key reports arrive here, and it can be given to
    // a hook as the window to post to.
    HWND sink() const { return sink_.get(); }
    HWND window() const { return window_; }

    static void send(WORD key, bool up, bool extended = false);
    // Presses modifiers and waits until the program in front has them.
    bool hold(std::initializer_list<WORD> keys);
    void release(std::initializer_list<WORD> keys);
    // Presses and releases a key; true once the program in front got the
    // key-up, which always goes through.
    bool tap(WORD key, bool extended = false);
    // A key nobody registered goes round: once it arrives, everything typed
    // before has been through the hooks.
    bool sync() { return tap('Z'); }
    // Releases every modifier, whatever a failed test left pressed.
    void release_all();
    void pause(DWORD milliseconds);
    // Makes the program stop reading messages for `milliseconds`, from the
    // moment this returns true.
    bool stall(DWORD milliseconds);

    // Pumps the sink until `done` holds (five seconds at most).
    bool wait_for(const std::function<bool()>& done, DWORD timeout_ms = 5000);
    // Every message that reached the sink so far, oldest first.
    const std::vector<MSG>& seen() const { return seen_; }
    void clear() { seen_.clear(); }
    // Key messages the program in front got for `key` (their flags).
    std::vector<LPARAM> got(WPARAM key, bool down) const;

private:
    void collect();

    message_window sink_;
    HWND window_ = nullptr;
    PROCESS_INFORMATION process_{};
    std::vector<MSG> seen_;
};

} // namespace test_support
