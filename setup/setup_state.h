#pragma once
// What the settings editor's frame and pages share: the module with the
// resources, the settings being edited and the resource sets on offer.

#include "confctl/config.h"

#include <windows.h>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

// One picture set or tips format of resource\resource.ini.
struct resource_set {
    wchar_t section[64] = {};     // empty: no entry in this place
    wchar_t description[64] = {}; // "desc" of the section, else its name
};
constexpr size_t resource_set_count = 20;
using resource_set_list = std::array<resource_set, resource_set_count>;

// Fills `list` from the [sections] keys prefix00..prefix19 of
// resource\resource.ini; a missing file leaves every entry empty.
void load_resource_sets(const wchar_t* prefix, resource_set_list& list) noexcept;

// What OK asks of the "start with Windows" entry, which is not a setting of
// zuvo.ini: nothing when the user left the box as it was.
enum class start_with_windows_change { none, add, remove };

struct setup_state {
    HMODULE module = nullptr;
    Cconfig config;
    start_with_windows_change start_with_windows = start_with_windows_change::none;
    // Plug-ins (file names) whose own dialog last failed to save their
    // settings: they keep their old ones, so Quellbar is not restarted.
    std::vector<std::wstring> unsaved_plugins;
    resource_set_list formats;
    resource_set_list icons;
    resource_set_list digits;
};
