#pragma once
// The active output devices and moving the default among them, for the
// tray's device menu and the DeviceNext hot key.

#include "mxrctl/policy_config.h"

#include <string>
#include <vector>

struct output_device {
    std::wstring id;
    std::wstring name;
    bool is_default = false;
};

// Active output devices in the audio system's order (empty without one).
std::vector<output_device> list_output_devices();

// The device after the default one in `devices`, wrapping round; the first
// when none is the default; `devices.size()` when the list is empty.
size_t next_output_index(const std::vector<output_device>& devices) noexcept;
