#include "plugins/seethru/window_restyler.h"

#include "plugins/seethru/alpha_steps.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// What one window is to become, and how far its thread has come.
struct window_job {
    HWND window = nullptr;
    uint32_t wanted = seethru::opaque_percent;
    uint64_t wanted_ticket = 0;
    uint64_t done_ticket = 0;
    bool done_ok = true;
    bool running = false;
};

bool set_layered_style(HWND window, bool layered) noexcept {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (((style & WS_EX_LAYERED) != 0) == layered) return true;
    SetLastError(0);
    const LONG_PTR was =
        SetWindowLongPtrW(window, GWL_EXSTYLE,
                          layered ? (style | WS_EX_LAYERED) : (style & ~LONG_PTR{WS_EX_LAYERED}));
    if (was == 0 && GetLastError() != 0) return false;
    // Under the compositor a window that stops being layered keeps showing
    // the last layered picture (often black) until it paints again, and a
    // window that never repaints by itself would stay so.
    if (!layered)
        RedrawWindow(window, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    return true;
}

// On the window's thread of ours this may wait as long as the window's
// program takes.
bool restyle(HWND window, uint32_t percent) noexcept {
    if (percent >= seethru::opaque_percent) return set_layered_style(window, false);
    const bool was_layered = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    if (!set_layered_style(window, true)) return false;
    if (SetLayeredWindowAttributes(window, 0, seethru::alpha_of_percent(percent), LWA_ALPHA))
        return true;
    // Layered without attributes a window shows nothing at all.
    if (!was_layered) set_layered_style(window, false);
    return false;
}

} // namespace

struct window_restyler::shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::vector<window_job> jobs;
    uint64_t last_ticket = 0;

    window_job* find(HWND window) noexcept {
        for (auto& job : jobs)
            if (job.window == window) return &job;
        return nullptr;
    }
};

namespace {

struct thread_start {
    std::shared_ptr<window_restyler::shared> shared;
    HWND window;
    HMODULE pinned;
};

class exclusive {
public:
    explicit exclusive(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~exclusive() { ReleaseSRWLockExclusive(&lock_); }
    exclusive(const exclusive&) = delete;
    exclusive& operator=(const exclusive&) = delete;

private:
    SRWLOCK& lock_;
};

void take_changes(window_restyler::shared& s, HWND window) noexcept {
    for (;;) {
        uint32_t percent = 0;
        uint64_t ticket = 0;
        {
            exclusive held(s.lock);
            window_job* job = s.find(window);
            if (!job) return;
            if (job->done_ticket >= job->wanted_ticket) {
                job->running = false;
                WakeAllConditionVariable(&s.changed);
                return;
            }
            percent = job->wanted;
            ticket = job->wanted_ticket;
        }
        const bool ok = restyle(window, percent);
        exclusive held(s.lock);
        if (window_job* job = s.find(window)) {
            job->done_ticket = ticket;
            job->done_ok = ok;
        }
        WakeAllConditionVariable(&s.changed);
    }
}

DWORD WINAPI restyle_thread(void* parameter) noexcept {
    auto* start = static_cast<thread_start*>(parameter);
    const HMODULE pinned = start->pinned;
    take_changes(*start->shared, start->window);
    delete start;
    if (pinned) FreeLibraryAndExitThread(pinned, 0);
    return 0;
}

// The library that holds this code, with one more reference for a thread.
HMODULE pin_this_library() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&restyle_thread), &module);
    return module;
}

} // namespace

window_restyler::window_restyler() : shared_(std::make_shared<shared>()) {}

uint64_t window_restyler::request(HWND window, uint32_t percent) noexcept {
    const bool own = is_own_thread_window(window);
    bool start_thread = false;
    uint64_t ticket = 0;
    {
        exclusive held(shared_->lock);
        auto& jobs = shared_->jobs;
        // Finished jobs of other windows are of no more use.
        jobs.erase(std::remove_if(
                       jobs.begin(), jobs.end(),
                       [&](const window_job& job) { return !job.running && job.window != window; }),
                   jobs.end());
        window_job* job = shared_->find(window);
        if (!job) {
            try {
                jobs.push_back(window_job{window});
            } catch (...) {
                return 0;
            }
            job = &jobs.back();
        }
        ticket = ++shared_->last_ticket;
        job->wanted = percent;
        job->wanted_ticket = ticket;
        start_thread = !job->running && !own;
        job->running = job->running || !own;
    }
    if (own) {
        const bool ok = restyle(window, percent);
        exclusive held(shared_->lock);
        if (window_job* job = shared_->find(window)) {
            job->done_ticket = ticket;
            job->done_ok = ok;
        }
        return ticket;
    }
    if (!start_thread) return ticket;

    const HMODULE pinned = pin_this_library();
    auto* start = new (std::nothrow) thread_start{shared_, window, pinned};
    HANDLE thread = start ? CreateThread(nullptr, 0, restyle_thread, start, 0, nullptr) : nullptr;
    if (thread) {
        CloseHandle(thread);
        return ticket;
    }
    // Without a thread nothing is changed, as if the window had refused.
    delete start;
    if (pinned) FreeLibrary(pinned);
    exclusive held(shared_->lock);
    if (window_job* job = shared_->find(window)) {
        job->done_ticket = job->wanted_ticket;
        job->done_ok = false;
        job->running = false;
    }
    return ticket;
}

window_restyler::outcome window_restyler::wait(HWND window, uint64_t ticket,
                                               uint32_t timeout_ms) noexcept {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    exclusive held(shared_->lock);
    for (;;) {
        const window_job* job = shared_->find(window);
        if (!job || ticket == 0) return outcome::refused;
        if (job->done_ticket >= ticket) return job->done_ok ? outcome::done : outcome::refused;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return outcome::pending;
        SleepConditionVariableSRW(&shared_->changed, &shared_->lock,
                                  static_cast<DWORD>(deadline - now), 0);
    }
}

bool window_restyler::busy(HWND window) const noexcept {
    exclusive held(shared_->lock);
    const window_job* job = shared_->find(window);
    return job && job->running;
}

bool window_restyler::wait_all(uint32_t timeout_ms) noexcept {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    exclusive held(shared_->lock);
    for (;;) {
        const bool any = std::any_of(shared_->jobs.begin(), shared_->jobs.end(),
                                     [](const window_job& job) { return job.running; });
        if (!any) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        SleepConditionVariableSRW(&shared_->changed, &shared_->lock,
                                  static_cast<DWORD>(deadline - now), 0);
    }
}
