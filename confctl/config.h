#pragma once
// The settings of zuvo.ini: one record, one key list that loads the main
// program's settings and loads or saves the setup program's.

#include "confctl/confctl.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

constexpr size_t control_slots = 16;
constexpr size_t launcher_slots = 16;
// More plug-in entries than any folder holds; bounds a damaged Num.
constexpr size_t max_plugins = 256;
constexpr COLORREF default_text_color = RGB(0, 255, 0);
// Ctrl+Shift without a key: a launcher's hot key until one is chosen. It
// registers nothing.
constexpr uint32_t free_launcher_hotkey = 0x0500;

struct control_entry {
    wchar_t caption[64] = {};
    wchar_t mixer[256] = {};
    int32_t destination = 0;
    int32_t source = -1;
    int32_t balance = 0;
    bool has_color = false;
    bool has_icon = false;
    COLORREF color = default_text_color;
    wchar_t icon_image[64] = {};
    // A program's file name: the control acts on that program's audio on
    // the device `mixer` names. Such a slot is saved with source
    // application_source, a line no device has, so that a version that
    // knows no applications shows the slot as unusable and changes nothing.
    wchar_t application[261] = {};
};
constexpr int32_t application_source = -2;

struct launcher_entry {
    wchar_t caption[64] = {};
    wchar_t command_line[1024] = {};
    uint32_t hotkey = free_launcher_hotkey;
};

struct plugin_entry {
    wchar_t file_name[261] = {};
};

class Cconfig {
public:
    class m_confctl_zuvo : public m_confctl_ini {};

    // Fields in the order the settings file is walked.
    uint32_t regist_max = 64;
    uint32_t hotkey_volume_up = 1470;
    uint32_t hotkey_volume_down = 1468;
    uint32_t hotkey_mute = 1357;
    uint32_t hotkey_control_change = 1347;
    uint32_t hotkey_popup_menu = 1366;
    uint32_t hotkey_device_next = free_launcher_hotkey; // none
    bool trayicon_show = true;
    bool trayicon_wheel = false;
    bool trayicon_wheel_reverse = false;
    COLORREF text_color = RGB(0, 255, 0);
    COLORREF text_color2 = RGB(255, 0, 0);
    COLORREF background_color = RGB(0, 0, 0);
    int32_t edge_size = 1;
    wchar_t font_face[32] = {};
    int32_t font_point_size = -32;
    int32_t font_weight = 400;
    uint8_t font_italic = 0;
    uint8_t font_antialias = 1;
    int32_t font_resolution_base = 1024;
    bool layer_window = true;
    bool layer_background_through = true;
    int32_t layer_transparent_rate = 100;
    uint32_t vol_step_size = 10;
    bool vol_step_fit = true;
    wchar_t tips_format[64] = L"flatbar_ml";
    uint32_t tips_timer = 3000;
    bool tips_vol0_on_mute = false;
    uint32_t tray_update_delay = 100;
    wchar_t trayicon_image[64] = L"default";
    wchar_t trayicon_digit[64] = L"default";
    bool trayicon_digit_color_link_tips = false;
    bool trayicon_balloon = false;
    uint32_t trayicon_balloon_timer = 1000;
    bool vol_menu = false;
    uint32_t release_idle_delay = 4000;
    std::array<std::unique_ptr<control_entry>, control_slots> controls;
    std::array<std::unique_ptr<launcher_entry>, launcher_slots> launchers;
    std::vector<plugin_entry> plugins;
    bool swap_mode = false;
    uint32_t trim_delay = 6000;
    uint32_t working_set_increment = 204800;

    // Whether the settings file existed when it was last read.
    bool file_found = false;
};

// Makes the folder of this program's file the current directory, so that
// every relative name (settings, libraries, plugin, resource) resolves there.
bool make_program_folder_current() noexcept;

// Main program: makes the program folder current and reads zuvo.ini there.
// Free control slots stay empty; with none in use a "#" control is made.
void load(Cconfig& config);
// The same without changing the current directory.
void load_from_current_folder(Cconfig& config);

// Setup program: reads (write false) or saves (write true) zuvo.ini in the
// current directory. Read mode puts blank entries into free control slots and
// returns whether the file exists. Write mode returns false when the save did
// not fully reach the file: read-only, held by another program, or a change
// that failed; a file that cannot be written at all is left unchanged.
bool exchange(Cconfig& config, bool write);

// The key walk behind both, on any store already opened or failed to open.
void exchange_settings(m_confctl_base& store, Cconfig& config, bool main_program);
