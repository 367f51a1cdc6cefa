// MXRCTL_ControlSelect, exported by the setup program only: the dialog and
// its texts are that program's resources. Compiled into the program itself
// so that the linker keeps the export although nothing there calls it.

#include "mxrctl/control_select.h"
#include "mxrctl/mxrctl_exports.h"

#include <strsafe.h>

#include <cstring>
#include <iterator>
#include <type_traits>

extern "C" __declspec(dllexport) bool MXRCTL_ControlSelect(HINSTANCE module, HWND owner,
                                                           mxrctl_selection* selection) noexcept {
    if (!selection) return false;
    control_choice choice{};
    StringCchCopyNW(choice.mixer, std::size(choice.mixer), selection->mixer,
                    mxrctl_name_length - 1);
    choice.destination = selection->destination;
    choice.source = selection->source;
    choice.balance = selection->balance;
    if (!run_control_select(module, owner, choice)) return false;
    // Plug-ins store the whole block; nothing of the old name may linger
    // behind the new one.
    std::memset(selection->mixer, 0, sizeof selection->mixer);
    StringCchCopyNW(selection->mixer, mxrctl_name_length, choice.mixer, mxrctl_name_length - 1);
    selection->destination = choice.destination;
    selection->source = choice.source;
    selection->balance = choice.balance;
    return true;
}

static_assert(std::is_same_v<decltype(&MXRCTL_ControlSelect), MXRCTL_ControlSelect_fn>,
              "plug-ins look the export up with this type");
static_assert(sizeof(mxrctl_selection::mixer) == 512);
