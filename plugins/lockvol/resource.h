// Resource identifiers of lockvol.dll.
#pragma once

#define IDD_LOCKVOL_CONFIG 9

#define IDS_MENU_LOCK 40000
#define IDS_MENU_RESET_ONCE 40001
#define IDS_TIPS_LOCKED 40002
#define IDS_TIPS_UNLOCKED 40003
#define IDS_TIPS_RESET 40004
#define IDS_COLUMN_MIXER 40005
#define IDS_COLUMN_CONTROL 40007
#define IDS_TIPS_LEFT_ALONE 40008
#define IDS_SAME_CONTROL_AS 40009
#define IDS_LIST_FULL 40010
#define IDS_SAVE_FAILED 40011
// The description's labels carry the numbers the shared description reads.
#include "mxrctl/mixer_string_ids.h"

#define IDC_BOOT_ENABLE 1005
#define IDC_TOGGLE_KEY 1126
#define IDC_TOGGLE_CTRL 1127
#define IDC_TOGGLE_SHIFT 1128
#define IDC_TOGGLE_ALT 1129
#define IDC_TOGGLE_WIN 1131
#define IDC_RESET_KEY 1130
#define IDC_RESET_CTRL 1132
#define IDC_RESET_SHIFT 1133
#define IDC_RESET_ALT 1134
#define IDC_RESET_WIN 1135
#define IDC_ENTRY_LIST 1012
#define IDC_ENTRY_UP 1046
#define IDC_ENTRY_DOWN 1047
#define IDC_SELECT 1108
#define IDC_DESCRIPTION 1109
#define IDC_MUTE 1115
#define IDC_ZUVO_CONTROL 1019
#define IDC_KEEP_STARTUP 1020
#define IDC_VOLUME 1014
#define IDC_ADD 1112
#define IDC_UPDATE 1111
#define IDC_DELETE 1059
