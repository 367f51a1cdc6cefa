// MXRCTL_ControlSelect and MXRCTL_ControlSelectEx, exported by the setup program only: the dialog
// and its texts are that program's resources. Compiled into the program itself so that the linker
// keeps the export although nothing there calls it.

#include "mxrctl/control_select.h"
#include "mxrctl/mxrctl_exports.h"

#include <strsafe.h>

#include <cstring>
#include <iterator>
#include <type_traits>

namespace {

// Runs the dialog over the block's values and, on OK, writes the choice
// back; `application` (null for the block without one) then offers programs.
bool select_into(HINSTANCE module, HWND owner, mxrctl_selection& selection,
                 wchar_t* application) noexcept {
    control_choice choice{};
    StringCchCopyNW(choice.mixer, std::size(choice.mixer), selection.mixer, mxrctl_name_length - 1);
    choice.destination = selection.destination;
    choice.source = selection.source;
    choice.balance = selection.balance;
    if (application)
        StringCchCopyNW(choice.application, std::size(choice.application), application,
                        mxrctl_application_length - 1);
    if (!run_control_select(module, owner, choice, application != nullptr)) return false;
    // Plug-ins store the whole block; nothing of the old name may linger
    // behind the new one.
    std::memset(selection.mixer, 0, sizeof selection.mixer);
    StringCchCopyNW(selection.mixer, mxrctl_name_length, choice.mixer, mxrctl_name_length - 1);
    selection.destination = choice.destination;
    selection.source = choice.source;
    selection.balance = choice.balance;
    if (application) {
        std::memset(application, 0, mxrctl_application_length * sizeof(wchar_t));
        StringCchCopyNW(application, mxrctl_application_length, choice.application,
                        mxrctl_application_length - 1);
    }
    return true;
}

} // namespace

extern "C" __declspec(dllexport) bool MXRCTL_ControlSelect(HINSTANCE module, HWND owner,
                                                           mxrctl_selection* selection) noexcept {
    return selection && select_into(module, owner, *selection, nullptr);
}

extern "C" __declspec(dllexport) bool MXRCTL_ControlSelectEx(
    HINSTANCE module, HWND owner, mxrctl_selection_ex* selection) noexcept {
    return selection && select_into(module, owner, selection->base, selection->application);
}

static_assert(std::is_same_v<decltype(&MXRCTL_ControlSelect), MXRCTL_ControlSelect_fn>,
              "plug-ins look the export up with this type");
static_assert(std::is_same_v<decltype(&MXRCTL_ControlSelectEx), MXRCTL_ControlSelectEx_fn>,
              "plug-ins look the export up with this type");
static_assert(sizeof(control_choice::application) == sizeof(mxrctl_selection_ex::application));
static_assert(mxrctl_application_source == application_source);
static_assert(sizeof(mxrctl_selection::mixer) == 512);
