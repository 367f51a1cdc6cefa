#pragma once
// The settings dialog: a frame with a tree of the six pages.

#include "setup/setup_page.h"

#include <memory>
#include <vector>

// Shows the dialog owned by `owner`. True when the user confirmed it (OK),
// after every page has copied its controls into `state.config`.
bool run_settings_dialog(setup_state& state, HWND owner) noexcept;
