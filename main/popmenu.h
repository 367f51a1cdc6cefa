#pragma once
// The popup menu, built afresh each time from its contributors, and the
// launchers, one of its contributors.

#include "confctl/config.h"
#include "winui/menu_items.h"

#include <windows.h>

class Cpopmenu_regproc {
public:
    virtual ~Cpopmenu_regproc() = default;
    // Appends the contributor's items to the menu being built.
    virtual void add_items(HMENU* menu) = 0;
};

class Cpopmenu {
public:
    static constexpr size_t max_contributors = 3;

    void set_window(HWND window, HINSTANCE instance) noexcept {
        window_ = window;
        instance_ = instance;
    }
    bool add_contributor(Cpopmenu_regproc* contributor) noexcept;
    // Captions of the fixed items: setup, about, exit.
    void load_captions(HINSTANCE instance) noexcept;
    void show() noexcept;

private:
    int count_ = 0;
    Cpopmenu_regproc* contributors_[max_contributors] = {};
    wchar_t setup_caption_[64] = {};
    wchar_t info_caption_[64] = {};
    wchar_t exit_caption_[64] = {};
    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
};

class Czuvo_launch : public Cpopmenu_regproc {
public:
    void bind(const Cconfig* config) noexcept { config_ = config; }
    void add_items(HMENU* menu) override;
    // Runs launcher `index`; ignores indexes above 15 and free slots.
    void run(uint32_t index) noexcept;

private:
    const Cconfig* config_ = nullptr;
};

// Starts a command line in the program's folder; on failure the warning box
// "failed to start" names `what`.
bool start_process(const wchar_t* command_line, const wchar_t* what) noexcept;
