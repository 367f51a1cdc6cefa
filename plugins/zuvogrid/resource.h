#pragma once
// Resource and control identifiers of zuvogrid.dll.

#define IDD_ZUVOGRID_CONFIG 126
#define IDD_ZUVOGRID_POSITION 127

// Texts.
#define IDS_GEOMETRY 40000
#define IDS_CAPTURE_MENU 40001
#define IDS_CORNER_FIRST 40002 // 40002..40005: top-left, top-right, bottom-left, bottom-right
#define IDS_COLUMN_CLASS 40006
#define IDS_COLUMN_CORNER 40007
#define IDS_COLUMN_POSITION 40008

// Configuration dialog.
#define IDC_GRID_X 1002
#define IDC_GRID_Y 1003
#define IDC_SHOW_TIPS 1004
#define IDC_SHOW_BALLOON 1005
#define IDC_FIT_TO_GRID 1006
#define IDC_TIPS_TIME 1007
#define IDC_MOVE_UP 1101
#define IDC_MOVE_LEFT 1102
#define IDC_MOVE_DOWN 1103
#define IDC_MOVE_RIGHT 1104
#define IDC_RESIZE_UP 1111
#define IDC_RESIZE_DOWN 1112
#define IDC_RESIZE_LEFT 1113
#define IDC_RESIZE_RIGHT 1114
#define IDC_MAXIMIZE 1121
#define IDC_MINIMIZE 1131
#define IDC_FIX_POSITION 1141
// Each row's modifier boxes: Ctrl, Shift, Alt, Win at base + 1 .. base + 4.
#define IDC_MOVE_MODS 1200
#define IDC_RESIZE_MODS 1210
#define IDC_MAXIMIZE_MODS 1220
#define IDC_MINIMIZE_MODS 1230
#define IDC_FIX_MODS 1240

// Position dialog.
#define IDC_POS_CLASS 1027
#define IDC_POS_TOP_LEFT 1011
#define IDC_POS_TOP_RIGHT 1012
#define IDC_POS_BOTTOM_LEFT 1013
#define IDC_POS_BOTTOM_RIGHT 1014
#define IDC_POS_X 1017
#define IDC_POS_Y 1018
#define IDC_POS_WIDTH 1019
#define IDC_POS_HEIGHT 1020
#define IDC_POS_ADD 1021
#define IDC_POS_DELETE 1022
#define IDC_POS_UP 1025
#define IDC_POS_DOWN 1026
#define IDC_POS_LIST 1009
