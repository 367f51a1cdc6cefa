// tickson.dll: plays a click whenever the main program reports a real
// volume or mute change, and optionally a background sound in a loop. The
// sounds go through DirectSound; device and buffers are taken only while
// something plays and given back when idle, on suspend and when switched off.

#include "plugins/tickson/resource.h"
#include "plugins/tickson/tickson_logic.h"
#include "plugins/tickson/wave_reader.h"

#include "winui/dialog_helpers.h"
#include "plugin_sdk/host_link.h"
#include "plugin_sdk/host_requests.h"
#include "winui/menu_items.h"
#include "plugin_sdk/plugin_config.h"
#include "plugin_sdk/plugin_menu.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/settings_exchange.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"

#include "common/library_search.h"
#include "common/unique_resource.h"

#include <windows.h>
#include <dsound.h>
#include <strsafe.h>
#include <wrl/client.h>

#include <memory>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {

constexpr size_t name_capacity = tickson::sound_path_capacity;
constexpr const wchar_t* sound_folder = L"resource\\tickson";

// Event codes of this plug-in's command values.
constexpr uint32_t event_toggle_click = 0;
constexpr uint32_t event_toggle_background = 1;
constexpr uint32_t event_click = 10;
constexpr uint32_t event_release_click = 11;
constexpr uint32_t event_background = 20;

struct tickson_settings {
    bool enable_menu = false;
    bool ignore_error = true; // kept for the file's sake; nothing depends on it
    bool click_enabled = true;
    wchar_t click_file[name_capacity] = {};
    int32_t keep_ms = 1000;
    bool background_enabled = false;
    wchar_t background_file[name_capacity] = {};
};

void exchange(tickson_settings& s, bool write) noexcept {
    plugin_ini_exchange ini(L"tickson", write);
    ini.section(L"Global");
    ini.flag(L"EnableMenu", s.enable_menu, false);
    ini.flag(L"IgnoreError", s.ignore_error, true);
    ini.section(L"CtrlSound");
    ini.flag(L"enable", s.click_enabled, true);
    ini.text(L"wavname", s.click_file, name_capacity, L"pi.wav");
    ini.number(L"ResourceKeepTimer", s.keep_ms, 1000);
    ini.section(L"BgSound");
    ini.flag(L"enable", s.background_enabled, false);
    ini.text(L"wavname", s.background_file, name_capacity, L"snoise.wav");
    if (!write) {
        if (!s.click_file[0]) StringCchCopyW(s.click_file, name_capacity, L"pi.wav");
        if (!s.background_file[0]) StringCchCopyW(s.background_file, name_capacity, L"snoise.wav");
    }
}

struct sound_slot {
    ComPtr<IDirectSoundBuffer> buffer;
    bool looping = false;
};

class tickson_state {
public:
    void enter(uint32_t index, HWND main_window) noexcept {
        index_ = index;
        main_window_ = main_window;
        exchange(settings_, false);
        // A name too long for the path leaves the path empty, which plays
        // nothing, rather than a cut path that might name another file.
        tickson::join_sound_path(sound_folder, settings_.click_file, click_path_, name_capacity);
        tickson::join_sound_path(sound_folder, settings_.background_file, background_path_,
                                 name_capacity);
    }

    bool post_background_request() const noexcept {
        return post_plugin_command(main_window_, command(event_background), settings_.keep_ms);
    }

    bool event(HWND main_window, uint32_t code) noexcept {
        switch (code) {
        case event_toggle_click:
            settings_.click_enabled = !settings_.click_enabled;
            return true;
        case event_toggle_background:
            settings_.background_enabled = !settings_.background_enabled;
            post_background_request();
            return true;
        case event_click:
            play(click_, click_path_, false, main_window);
            post_delayed_command(main_window, command(event_release_click), keep_delay());
            return true;
        case event_release_click:
            release(click_);
            return true;
        case event_background:
            if (settings_.background_enabled)
                play(background_, background_path_, true, main_window);
            else
                release(background_);
            return true;
        default:
            return false;
        }
    }

    void message(HWND window, UINT message, WPARAM wparam) noexcept {
        if (message == WM_COMMAND && LOWORD(wparam) == ZUVO_CMD_REFRESH &&
            (wparam & ZUVO_REFRESH_CHANGED) && settings_.click_enabled) {
            // Delay 0 still waits until the queue runs empty, and every
            // repost restarts the same timer: a burst gives one click.
            post_delayed_command(window, command(event_click), 0);
        } else if (message == WM_POWERBROADCAST && wparam == PBT_APMSUSPEND) {
            release(click_);
            release(background_);
        } else if (message == WM_POWERBROADCAST && wparam == PBT_APMRESUMESUSPEND) {
            post_background_request();
        }
    }

    void menu(HMENU host_menu) noexcept {
        if (!settings_.enable_menu) return;
        resource_submenu submenu(g_plugin_module, IDM_TICKSON);
        if (!submenu.popup()) return;
        set_item(submenu.popup(), IDM_CLICK_TOGGLE, command(event_toggle_click),
                 settings_.click_enabled);
        set_item(submenu.popup(), IDM_BG_TOGGLE, command(event_toggle_background),
                 settings_.background_enabled);
        submenu.add_to(host_menu, IDM_TICKSON);
    }

    // Gives everything back; the state is destroyed right after.
    void shut_down() noexcept {
        release_buffer(background_);
        release_buffer(click_);
        device_.Reset();
    }

private:
    uint32_t command(uint32_t code) const noexcept { return zuvo_command_value(index_, code); }
    uint32_t keep_delay() const noexcept {
        // A negative time would become a timer of weeks that holds the device.
        return settings_.keep_ms > 0 ? static_cast<uint32_t>(settings_.keep_ms) : 0;
    }

    static void set_item(HMENU popup, UINT item_id, uint32_t new_id, bool checked) noexcept {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STATE;
        item.wID = new_id;
        item.fState = checked ? MFS_CHECKED : MFS_UNCHECKED;
        SetMenuItemInfoW(popup, item_id, FALSE, &item);
    }

    bool open_device(HWND window) noexcept {
        if (device_) return true;
        static const auto create =
            system_function<decltype(&DirectSoundCreate8)>(L"dsound.dll", "DirectSoundCreate8");
        ComPtr<IDirectSound8> device;
        if (!create || FAILED(create(nullptr, device.GetAddressOf(), nullptr)) || !device)
            return false;
        device->SetCooperativeLevel(window, DSSCL_PRIORITY);
        device_ = std::move(device);
        return true;
    }

    bool fill(sound_slot& slot, const wchar_t* path, bool looping) noexcept {
        mdx_dsnd_ldr_wave reader;
        if (!reader.open(path)) return false;
        slot.looping = looping;
        release_buffer(slot);
        WAVEFORMATEX format{};
        reader.format(format);
        tickson::pcm_format pcm;
        pcm.block_align = format.nBlockAlign;
        const uint32_t size = tickson::sound_buffer_bytes(reader.remaining(), pcm);
        if (size == 0) return false;

        DSBUFFERDESC description{};
        description.dwSize = sizeof description;
        description.dwFlags = DSBCAPS_GLOBALFOCUS;
        description.dwBufferBytes = size;
        description.lpwfxFormat = &format;
        description.guid3DAlgorithm = GUID_NULL;
        ComPtr<IDirectSoundBuffer> buffer;
        if (FAILED(device_->CreateSoundBuffer(&description, buffer.GetAddressOf(), nullptr)) ||
            !buffer)
            return false;
        void* first = nullptr;
        DWORD first_length = 0;
        if (FAILED(buffer->Lock(0, size, &first, &first_length, nullptr, nullptr, 0)) || !first)
            return false; // an unfilled buffer would play garbage, so it is not kept
        const uint32_t got = reader.read(first, first_length);
        if (got < first_length)
            reader.fill_silence(static_cast<uint8_t*>(first) + got, first_length - got);
        buffer->Unlock(first, first_length, nullptr, 0);
        reader.close();
        slot.buffer = std::move(buffer);
        return true;
    }

    void play(sound_slot& slot, const wchar_t* path, bool looping, HWND window) noexcept {
        if (!path[0]) return;
        if (!open_device(window)) return;
        if (!slot.buffer && !fill(slot, path, looping)) {
            release_device_when_idle();
            return;
        }
        slot.buffer->SetCurrentPosition(0);
        slot.buffer->Play(0, 0, slot.looping ? DSBPLAY_LOOPING : 0);
    }

    static void release_buffer(sound_slot& slot) noexcept {
        if (!slot.buffer) return;
        ComPtr<IDirectSoundBuffer> buffer = std::move(slot.buffer);
        buffer->Stop();
    }

    void release(sound_slot& slot) noexcept {
        release_buffer(slot);
        release_device_when_idle();
    }

    void release_device_when_idle() noexcept {
        if (!click_.buffer && !background_.buffer) device_.Reset();
    }

    tickson_settings settings_;
    uint32_t index_ = 0;
    HWND main_window_ = nullptr;
    ComPtr<IDirectSound8> device_;
    sound_slot click_;
    sound_slot background_;
    wchar_t click_path_[name_capacity] = {};
    wchar_t background_path_[name_capacity] = {};
};

// The plug-in's one state object, from the first entry to release.
std::unique_ptr<tickson_state> g_tickson;

// ---------------------------------------------------------------------------
// Configuration dialog

config_context<tickson_settings>* g_dialog = nullptr;

void list_sound_files(HWND dialog) noexcept {
    wchar_t pattern[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(L"resource\\tickson\\*.wav", MAX_PATH, pattern, nullptr);
    if (length == 0 || length >= MAX_PATH) return;
    WIN32_FIND_DATAW found{};
    unique_resource<handle_traits::null_is_invalid<HANDLE, FindClose>> search;
    HANDLE first = FindFirstFileW(pattern, &found);
    if (first == INVALID_HANDLE_VALUE) return;
    search.reset(first);
    do {
        for (int id : {IDC_CLICK_FILE, IDC_BG_FILE})
            SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(found.cFileName));
    } while (FindNextFileW(search.get(), &found));
}

void read_settings(HWND dialog, tickson_settings& s) noexcept {
    s.click_enabled = is_box_ticked(dialog, IDC_CLICK_ENABLE);
    s.background_enabled = is_box_ticked(dialog, IDC_BG_ENABLE);
    s.enable_menu = is_box_ticked(dialog, IDC_ENABLE_MENU);
    GetDlgItemTextW(dialog, IDC_CLICK_FILE, s.click_file, name_capacity);
    GetDlgItemTextW(dialog, IDC_BG_FILE, s.background_file, name_capacity);
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) noexcept {
    if (!g_dialog) return FALSE;
    tickson_settings& s = g_dialog->settings;
    switch (message) {
    case WM_INITDIALOG:
        for (int id : {IDC_CLICK_FILE, IDC_BG_FILE})
            SendDlgItemMessageW(dialog, id, CB_LIMITTEXT, name_capacity, 0);
        list_sound_files(dialog);
        tick_box(dialog, IDC_CLICK_ENABLE, s.click_enabled);
        tick_box(dialog, IDC_BG_ENABLE, s.background_enabled);
        tick_box(dialog, IDC_ENABLE_MENU, s.enable_menu);
        SetDlgItemTextW(dialog, IDC_CLICK_FILE, s.click_file);
        SetDlgItemTextW(dialog, IDC_BG_FILE, s.background_file);
        return TRUE;
    case WM_COMMAND:
        return end_plugin_config(dialog, wparam, *g_dialog, read_settings) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Exports

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index, HWND main_window) noexcept {
    return guarded(false, [&] {
        if (!g_tickson) g_tickson = std::make_unique<tickson_state>();
        g_tickson->enter(index, main_window);
        return g_tickson->post_background_request();
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND main_window, uint32_t code) noexcept {
    return g_tickson && g_tickson->event(main_window, code & 0xFFFFu);
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept {
    if (g_tickson) g_tickson->menu(menu);
    return true;
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_msgproc(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM) noexcept {
    if (g_tickson) g_tickson->message(window, message, wparam);
    return false;
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    if (!g_tickson) return;
    g_tickson->shut_down();
    g_tickson.reset();
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    run_plugin_config(g_plugin_module, IDD_TICKSON, owner, dialog_procedure, g_dialog, exchange);
}
