#pragma once
// The plug-in host: loads the libraries listed in the settings, offers them
// every message of the main window, their menu items and their commands.

#include "confctl/config.h"
#include "main/popmenu.h"
#include "plugin_sdk/zuvoplug.h"

#include <vector>

class Czuvo_plugproc : public Cpopmenu_regproc {
public:
    Czuvo_plugproc() = default;
    Czuvo_plugproc(const Czuvo_plugproc&) = delete;
    Czuvo_plugproc& operator=(const Czuvo_plugproc&) = delete;
    ~Czuvo_plugproc() override { release(); }

    void bind(const Cconfig* config) noexcept { config_ = config; }
    // Loads the plug-ins in index order; the first that fails is named in a
    // warning and stops the loading. False when a plug-in's entry ended the
    // program (closed the main window or asked to quit): loading stops there.
    bool load(HWND main_window) noexcept;
    // Stage 1 of the window procedure: true when a plug-in handled the message.
    bool offer(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    // Command 0x0600 + index: true when the plug-in's event function ran and
    // reported success.
    bool event(HWND main_window, uint32_t index, uint32_t code) noexcept;
    void add_items(HMENU* menu) override;
    // Last loaded first; harmless a second time.
    void release() noexcept;

    size_t count() const noexcept { return plugins_.size(); }
    bool is_loaded(size_t index) const noexcept {
        return index < plugins_.size() && plugins_[index].module;
    }

private:
    struct loaded_plugin {
        HMODULE module = nullptr;
        ZUVOPLUG_event_fn event = nullptr;
        ZUVOPLUG_menu_fn menu = nullptr;
        ZUVOPLUG_msgproc_fn msgproc = nullptr;
    };
    // Marks a call into a plug-in. A plug-in may end the program from inside
    // such a call (DestroyWindow, a sent exit command), which releases every
    // plug-in; their libraries are then freed only once no plug-in code is
    // left on the stack to return into.
    class call_scope {
    public:
        explicit call_scope(Czuvo_plugproc& host) noexcept : host_(host) { ++host_.calls_; }
        call_scope(const call_scope&) = delete;
        call_scope& operator=(const call_scope&) = delete;
        ~call_scope() {
            if (--host_.calls_ == 0) host_.free_unloaded();
        }

    private:
        Czuvo_plugproc& host_;
    };
    void free_unloaded() noexcept;

    const Cconfig* config_ = nullptr;
    std::vector<loaded_plugin> plugins_;
    int calls_ = 0;
    std::vector<HMODULE> unloaded_; // released, to be freed after the current call
};
