#pragma once
// The application object: every piece of the main program's state, created
// before the program entry and destroyed after it.

#include "common/unique_resource.h"
#include "confctl/config.h"
#include "main/desktop.h"
#include "main/hotkeys.h"
#include "main/plugproc.h"
#include "main/popmenu.h"
#include "main/tipswnd.h"
#include "main/trayicon.h"
#include "main/zuvo_mixer.h"

class Capp {
public:
    static constexpr const wchar_t* window_class = L"Quellbar_Class";
    static constexpr const wchar_t* caption = program_caption;

    Capp() = default;
    Capp(const Capp&) = delete;
    Capp& operator=(const Capp&) = delete;
    ~Capp();

    // Start-up, message loop; returns the exit code.
    int run(HINSTANCE instance) noexcept;

    // Members in the order their destruction must run backwards: the
    // controls model goes first, the hook library last.
    hook_connection hooks;
    Cpopmenu popup_menu;
    Ctrayicon tray_icon;
    Ctipswnd tips_window;
    Czuvo_mixer mixer;
    HANDLE process = nullptr;
    SIZE_T working_set_min = 0;
    SIZE_T working_set_max = 0;
    int exit_code = 0;
    HWND main_window = nullptr;
    HINSTANCE instance = nullptr;

private:
    static LRESULT CALLBACK window_thunk(HWND window, UINT message, WPARAM wparam,
                                         LPARAM lparam) noexcept;
    LRESULT window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    bool start_up() noexcept;
    // Carries out one command; false when the trimming timer must not restart.
    bool dispatch(WPARAM wparam, LPARAM lparam) noexcept;
    void shut_down() noexcept;
    void restart_trim_timer() noexcept;

    bool class_registered_ = false;
};

// The globals the program is made of, in the order they are built.
extern Cconfig g_config;
extern Czuvo_launch g_launch;
extern Czuvo_plugproc g_plugproc;
extern Capp g_app;
