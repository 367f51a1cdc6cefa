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

#define IDS_MIXER 20000
#define IDS_DESTINATION 20001
#define IDS_CONTROL 20002
#define IDS_CHANNELS 20003
#define IDS_BALANCE 20004
#define IDS_DEFAULT_MIXER 20005

// The setup program's own string table holds it; the description borrows it.
#define IDS_NOT_REGISTERED 40010
