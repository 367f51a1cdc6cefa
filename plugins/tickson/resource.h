#pragma once
// Resource identifiers of tickson.dll.

#define IDD_TICKSON 9
#define IDC_CLICK_ENABLE 1001
#define IDC_CLICK_FILE 1004
#define IDC_BG_ENABLE 1005
#define IDC_BG_FILE 1006
#define IDC_ENABLE_MENU 1007

#define IDM_TICKSON 40001
#define IDM_CLICK_TOGGLE 40005
#define IDM_BG_TOGGLE 40006
