// libFuzzer target for the settings load: zuvo.ini as the tray program and
// the settings editor read it into the settings record. Built natively by
// scripts/fuzz, which compiles the settings store itself against
// windows_stand_in/: the profile functions are stood in for here, over the
// input read as the file's text (UTF-16), with every buffer filled to the
// capacity the store gives, so a capacity larger than its buffer shows as an
// overflow. The first input byte chooses the reader and whether the file
// exists.
// Checks: a load writes nothing; every text field holds the file's value cut
// to its room (or its default), numbers and colours follow
// reference_values.h on the value as the profile functions cut it, a damaged
// plug-in count is bounded, and the control and launcher slots are filled as
// each program expects.

#include "confctl/config.h"
#include "confctl/ini_encoding.h"
#include "tests/fuzz/profile_stand_in.h"
#include "tests/fuzz/reference_values.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t folder[] = L"C:\\Quellbar\\";
profile_stand_in* file = nullptr;
bool file_exists = false;

std::wstring full_path() {
    return std::wstring(folder) + L"zuvo.ini";
}

} // namespace

// --- the system, as far as the store asks it ---------------------------------

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR fallback, LPWSTR buffer,
                               DWORD capacity, LPCWSTR path) {
    if (!fallback || fallback[0] || !path || path != full_path()) std::abort();
    if (!file_exists) {
        if (!buffer || capacity == 0) std::abort();
        buffer[0] = L'\0';
        return 0;
    }
    return static_cast<DWORD>(file->read(section, key, buffer, capacity));
}

// A load changes nothing.
BOOL WritePrivateProfileStringW(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR) {
    std::abort();
}
BOOL WritePrivateProfileSectionW(LPCWSTR, LPCWSTR, LPCWSTR) {
    std::abort();
}
bool ini_encoding::prepare_change(const wchar_t*, const wchar_t*, const wchar_t*,
                                  const wchar_t*) noexcept {
    std::abort();
}
DWORD GetModuleFileNameW(HMODULE, LPWSTR, DWORD) {
    std::abort();
}
BOOL SetCurrentDirectoryW(LPCWSTR) {
    std::abort();
}

DWORD GetFullPathNameW(LPCWSTR name, DWORD capacity, LPWSTR buffer, LPWSTR*) {
    const std::wstring path = folder + std::wstring(name);
    if (path.size() + 1 > capacity) return static_cast<DWORD>(path.size() + 1);
    for (size_t i = 0; i <= path.size(); ++i) buffer[i] = path.c_str()[i];
    return static_cast<DWORD>(path.size());
}

DWORD GetFileAttributesW(LPCWSTR path) {
    if (path != full_path()) std::abort();
    return file_exists ? 0x20 : INVALID_FILE_ATTRIBUTES;
}

// --- the checks ----------------------------------------------------------------

namespace {

// What a buffer of `capacity` characters receives of a key; null when the
// key is missing or empty (the store then keeps its default).
const std::wstring* stored(const wchar_t* section, const wchar_t* key) {
    if (!file_exists) return nullptr;
    const std::wstring* value = file->find(section, key);
    return value && !value->empty() ? value : nullptr;
}

std::wstring text(const wchar_t* section, const wchar_t* key, size_t capacity,
                  const wchar_t* fallback) {
    const std::wstring* value = stored(section, key);
    return value ? value->substr(0, capacity - 1) : fallback;
}

uint32_t number(const wchar_t* section, const wchar_t* key, uint32_t fallback) {
    const std::wstring* value = stored(section, key);
    return value ? reference::number(value->substr(0, 15).c_str()) : fallback;
}

int32_t signed_number(const wchar_t* section, const wchar_t* key, int32_t fallback) {
    const std::wstring* value = stored(section, key);
    return value ? reference::signed_number(value->substr(0, 15).c_str()) : fallback;
}

uint32_t color(const wchar_t* section, const wchar_t* key, uint32_t fallback) {
    const std::wstring* value = stored(section, key);
    return value ? reference::color(value->substr(0, 15).c_str(), fallback) : fallback;
}

template <size_t N> void expect_text(const wchar_t (&field)[N], const std::wstring& expected) {
    if (wcsnlen(field, N) >= N || expected != field) std::abort();
}

void expect(bool holds) {
    if (!holds) std::abort();
}

void check_values(const Cconfig& c) {
    expect(c.vol_step_size == number(L"Basic", L"VolStepSize", 10));
    expect(c.vol_step_fit == (number(L"Basic", L"VolStepFit", 1) != 0));
    expect(c.tips_timer == number(L"Basic", L"TipsTimer", 3000));
    expect(c.trayicon_balloon == (number(L"Basic", L"TrayiconBaloon", 0) != 0));
    expect_text(c.tips_format, text(L"Basic", L"TipsFormat", 64, L"flatbar_ml"));
    expect_text(c.trayicon_image, text(L"Basic", L"TrayiconImage", 64, L"default"));
    expect_text(c.trayicon_digit, text(L"Basic", L"TrayiconDigit", 64, L"default"));
    expect(c.text_color == color(L"Tips", L"TextColor", RGB(0, 255, 0)));
    expect(c.background_color == color(L"Tips", L"BackgroundColor", 0));
    expect(c.edge_size == signed_number(L"Tips", L"EdgeSize", 1));
    expect(c.font_italic == (number(L"Tips", L"FontItalic", 0) & 0xFF));
    expect(c.layer_transparent_rate == signed_number(L"Tips", L"LayerTransparentRate", 100));
    expect_text(c.font_face, text(L"Tips", L"FontFace", 32, L""));
    expect(c.hotkey_volume_up == number(L"Hotkey", L"VolumeUp", 1470));
    expect(c.regist_max == number(L"Hotkey", L"RegistMax", 64));
}

void check_controls(const Cconfig& c, bool main_program) {
    size_t used = 0;
    for (size_t slot = 0; slot < control_slots; ++slot) {
        wchar_t section[16];
        std::swprintf(section, 16, L"Control%02u", static_cast<unsigned>(slot));
        const auto& entry = c.controls[slot];
        if (!stored(section, L"Caption")) {
            if (main_program) {
                expect(!entry || slot == 0);
            } else {
                expect(entry && entry->caption[0] == L'\0');
                expect_text(entry->icon_image, L"default");
            }
            continue;
        }
        ++used;
        expect(entry != nullptr);
        expect_text(entry->caption, text(section, L"Caption", 64, L""));
        expect_text(entry->mixer, text(section, L"Mixer", 256, L""));
        expect(entry->destination == signed_number(section, L"Destination", 0));
        expect(entry->source == signed_number(section, L"Source", -1));
        const std::wstring color_text = text(section, L"Color", 16, L"");
        expect(entry->has_color == (color_text[0] == L'#'));
        expect(entry->color == reference::color(color_text.c_str(), default_text_color));
        expect(entry->has_icon == (stored(section, L"IconImage") != nullptr));
        expect_text(entry->icon_image, text(section, L"IconImage", 64, L""));
    }
    // The tray program always has a control to show.
    if (main_program && used == 0) {
        expect(c.controls[0] != nullptr);
        expect_text(c.controls[0]->caption, L"#");
    } else if (main_program && !stored(L"Control00", L"Caption")) {
        expect(c.controls[0] == nullptr);
    }
}

void check_launchers(const Cconfig& c) {
    for (size_t slot = 0; slot < launcher_slots; ++slot) {
        wchar_t section[16];
        std::swprintf(section, 16, L"Launcher%02u", static_cast<unsigned>(slot));
        const auto& entry = c.launchers[slot];
        if (!file_exists) {
            expect((slot < 2) == (entry != nullptr));
            continue;
        }
        expect((stored(section, L"Caption") != nullptr) == (entry != nullptr));
        if (!entry) continue;
        expect_text(entry->caption, text(section, L"Caption", 64, L""));
        expect_text(entry->command_line, text(section, L"CmdLine", 1024, L""));
        expect(entry->hotkey == number(section, L"HotKey", 1280));
    }
}

void check_plugins(const Cconfig& c) {
    const uint32_t count = number(L"Plugin", L"Num", 0);
    expect(c.plugins.size() == (count > max_plugins ? max_plugins : count));
    for (size_t n = 0; n < c.plugins.size(); ++n) {
        wchar_t key[24];
        std::swprintf(key, 24, L"%02u", static_cast<unsigned>(n));
        expect_text(c.plugins[n].file_name, text(L"Plugin", key, 261, L""));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool main_program = data[0] & 1;
    file_exists = !(data[0] & 2);
    profile_stand_in text_file(data + 1, size - 1);
    file = &text_file;

    Cconfig config;
    if (main_program) {
        load_from_current_folder(config);
    } else {
        expect(exchange(config, false) == file_exists);
    }
    expect(config.file_found == file_exists);
    check_values(config);
    check_controls(config, main_program);
    check_launchers(config);
    check_plugins(config);
    file = nullptr;
    return 0;
}
