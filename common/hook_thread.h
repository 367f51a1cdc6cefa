#pragma once
// A low-level hook (WH_MOUSE_LL, WH_KEYBOARD_LL) on a thread of its own that
// does nothing but retrieve messages. Windows calls such a hook on the thread
// that installed it, and removes it without notice once one call waits longer
// than LowLevelHooksTimeout. A window thread that talks to the audio service,
// opens devices, shows dialogs or trims memory cannot promise that; this
// thread runs only the hook procedure, which must never wait either.
//
// Start and stop from one thread, never from DllMain (the thread's end needs
// the loader lock).

#include "common/unique_resource.h"

#include <windows.h>

#include <utility>

class low_level_hook_thread {
public:
    low_level_hook_thread() = default;
    low_level_hook_thread(const low_level_hook_thread&) = delete;
    low_level_hook_thread& operator=(const low_level_hook_thread&) = delete;
    ~low_level_hook_thread() { stop(); }

    // Installs `procedure` as hook `kind` on a new thread; returns once it is
    // in place, with whether it could be installed. A running hook is
    // stopped first.
    bool start(int kind, HOOKPROC procedure, HINSTANCE module) noexcept {
        stop();
        kind_ = kind;
        procedure_ = procedure;
        module_ = module;
        unique_handle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!ready) return false;
        ready_ = ready.get();
        DWORD id = 0;
        unique_handle thread(CreateThread(nullptr, 0, run, this, 0, &id));
        if (!thread) return false;
        // The thread sets the event whatever happens, before its loop.
        const HANDLE both[] = {ready.get(), thread.get()};
        WaitForMultipleObjects(2, both, FALSE, INFINITE);
        if (!hook_) {
            WaitForSingleObject(thread.get(), INFINITE);
            return false;
        }
        thread_ = std::move(thread);
        thread_id_ = id;
        return true;
    }

    // Removes the hook and ends its thread. The wait is for our own thread,
    // whose procedure never waits: a module must not be freed while that
    // thread may still run its code.
    void stop() noexcept {
        if (!thread_) return;
        PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        thread_id_ = 0;
        hook_ = nullptr;
    }

    bool running() const noexcept { return static_cast<bool>(thread_); }
    // The installed hook, for CallNextHookEx and for others who must know it.
    HHOOK hook() const noexcept { return hook_; }

private:
    static DWORD WINAPI run(void* context) noexcept {
        auto* self = static_cast<low_level_hook_thread*>(context);
        MSG message;
        // The queue exists before anyone is told to post WM_QUIT to it.
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        const HHOOK hook = SetWindowsHookExW(self->kind_, self->procedure_, self->module_, 0);
        self->hook_ = hook;
        SetEvent(self->ready_);
        if (!hook) return 0;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        UnhookWindowsHookEx(hook);
        return 0;
    }

    int kind_ = 0;
    HOOKPROC procedure_ = nullptr;
    HINSTANCE module_ = nullptr;
    HANDLE ready_ = nullptr; // owned by start() while it waits
    HHOOK hook_ = nullptr;
    DWORD thread_id_ = 0;
    unique_handle thread_;
};
