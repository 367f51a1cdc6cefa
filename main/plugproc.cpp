#include "main/plugproc.h"

#include "main/desktop.h"
#include "main/resource.h"
#include "common/library_search.h"

#include <strsafe.h>

#include <utility>

namespace {
template <typename F> F find_export(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Whether a plug-in's entry ended the program: the main window is gone (which
// released every plug-in), or a quit waits for the message loop. Looking for
// the quit also answers what other threads are sending, and a sender would
// take that for the end of start-up; with one waiting, the message loop
// finds the quit instead.
bool program_ended(HWND main_window) noexcept {
    if (!IsWindow(main_window)) return true;
    const DWORD waiting = HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE));
    if (!(waiting & QS_POSTMESSAGE) || (waiting & QS_SENDMESSAGE)) return false;
    MSG quit;
    return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}
} // namespace

bool Czuvo_plugproc::load(HWND main_window) noexcept {
    if (!config_) return true;
    plugins_.assign(config_->plugins.size(), loaded_plugin{});
    // Room for every library to be freed late, so release never allocates.
    unloaded_.reserve(plugins_.size());
    for (size_t j = 0; j < plugins_.size(); ++j) {
        const wchar_t* name = config_->plugins[j].file_name;
        if (name[0] == L'\0') continue;
        // A name too long for a path is not cut short into another file's name.
        wchar_t relative[261], path[261];
        const bool fits = SUCCEEDED(StringCchPrintfW(relative, 261, L"%s%s", L"plugin\\", name));
        DWORD length = fits ? GetFullPathNameW(relative, 261, path, nullptr) : 0;
        HMODULE module = (length && length < 261) ? load_own_library(path) : nullptr;
        plugins_[j].module = module;
        auto entry =
            module ? find_export<ZUVOPLUG_entry_fn>(module, "ZUVOPLUG_entry_4_0_0") : nullptr;
        if (!entry) {
            show_warning(IDS_FAILED_TO_LOAD_PLUGIN, name);
            return true;
        }
        plugins_[j].event = find_export<ZUVOPLUG_event_fn>(module, "ZUVOPLUG_event");
        plugins_[j].menu = find_export<ZUVOPLUG_menu_fn>(module, "ZUVOPLUG_menu");
        plugins_[j].msgproc = find_export<ZUVOPLUG_msgproc_fn>(module, "ZUVOPLUG_msgproc");
        {
            call_scope scope(*this);
            entry(static_cast<uint32_t>(j), main_window);
        }
        // No later plug-in is entered with a window that is gone or going.
        if (program_ended(main_window)) return false;
    }
    return true;
}

bool Czuvo_plugproc::offer(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    // The hooks are read anew each time: a plug-in may end the program from
    // inside its hook, which releases every plug-in.
    call_scope scope(*this);
    for (size_t j = 0; j < plugins_.size(); ++j) {
        ZUVOPLUG_msgproc_fn hook = plugins_[j].msgproc;
        if (hook && (hook(window, message, wparam, lparam) & 0xFF) != 0) return true;
    }
    return false;
}

bool Czuvo_plugproc::event(HWND main_window, uint32_t index, uint32_t code) noexcept {
    if (index >= plugins_.size() || !plugins_[index].event) return false;
    call_scope scope(*this);
    return (plugins_[index].event(main_window, code) & 0xFF) != 0;
}

void Czuvo_plugproc::add_items(HMENU* menu) {
    if (!menu) return;
    call_scope scope(*this);
    for (size_t j = 0; j < plugins_.size(); ++j)
        if (ZUVOPLUG_menu_fn add = plugins_[j].menu) add(*menu);
}

void Czuvo_plugproc::release() noexcept {
    for (size_t j = plugins_.size(); j-- > 0;) {
        loaded_plugin& plugin = plugins_[j];
        if (!plugin.module) continue;
        auto release_fn = find_export<ZUVOPLUG_release_fn>(plugin.module, "ZUVOPLUG_release");
        plugin.event = nullptr;
        plugin.menu = nullptr;
        plugin.msgproc = nullptr;
        HMODULE module = std::exchange(plugin.module, nullptr);
        if (release_fn) {
            call_scope scope(*this);
            release_fn();
        }
        if (calls_ > 0)
            unloaded_.push_back(module);
        else
            FreeLibrary(module);
    }
}

void Czuvo_plugproc::free_unloaded() noexcept {
    for (HMODULE module : unloaded_) FreeLibrary(module);
    unloaded_.clear();
}
