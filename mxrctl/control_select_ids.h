#pragma once
// Resources of the control selection dialog and the control description.
// They belong to the program that shows the dialog (the setup program
// includes mxrctl/control_select.rc), not to the library.

#define IDD_CONTROL_SELECT 21200
#define IDC_SELECT_MIXER 21101
#define IDC_SELECT_CONTROL 21103
#define IDC_SELECT_CHANNELS 21104
#define IDC_SELECT_BALANCE 21105
#define IDC_SELECT_BALANCE_TEXT 21106

#include "mxrctl/mixer_string_ids.h"

// The setup program's own string table holds it; the description borrows it.
#define IDS_NOT_REGISTERED 40010
