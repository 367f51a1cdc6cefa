#pragma once
// The six pages of the settings dialog, in the order the tree shows them.

#include "setup/setup_page.h"

#include <memory>

std::unique_ptr<Csetup_page> make_basic_page(setup_state& state);
std::unique_ptr<Csetup_page> make_hotkeys_page(setup_state& state);
std::unique_ptr<Csetup_page> make_tips_page(setup_state& state);
std::unique_ptr<Csetup_page> make_controls_page(setup_state& state);
std::unique_ptr<Csetup_page> make_launcher_page(setup_state& state);
std::unique_ptr<Csetup_page> make_plugins_page(setup_state& state);
