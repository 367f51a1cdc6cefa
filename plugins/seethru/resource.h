#pragma once
// Resource and control identifiers of seethru.dll.

#define IDM_SEETHRU 4
#define IDM_ALL_WINDOWS 40016
#define IDD_SEETHRU_CONFIG 126

#define IDC_SHOW_TIPS 1004
#define IDC_SHOW_BALLOON 1005
#define IDC_TIPS_TIME 1007
// The opacity boxes, 10 % (1024) up to 90 % (1034).
#define IDC_STEP_10 1024
#define IDC_STEP_20 1025
#define IDC_STEP_25 1026
#define IDC_STEP_30 1027
#define IDC_STEP_40 1028
#define IDC_STEP_50 1029
#define IDC_STEP_60 1030
#define IDC_STEP_70 1031
#define IDC_STEP_75 1032
#define IDC_STEP_80 1033
#define IDC_STEP_90 1034
#define IDC_HOTKEY_ALPHA 1121
#define IDC_KEY_CTRL 1221
#define IDC_KEY_SHIFT 1222
#define IDC_KEY_ALT 1223
#define IDC_KEY_WIN 1224
