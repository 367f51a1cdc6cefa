#pragma once
// Resources of plugin_sdk_test.exe: dialogs as the plug-ins write them.

#define IDD_EDITORS 100    // hot-key editors sharing one row, an edit, buttons
#define IDD_LONG_TITLE 101 // the same kind of template with a title of odd length
#define IDD_PLAIN 102      // an old-style DIALOG: not an extended template
#define IDD_NO_FONT 103    // an extended template without a font block
#define IDD_MISSING 199    // no such resource

#define IDC_HOTKEY1 1126
#define IDC_CTRL 1127
#define IDC_SHIFT 1128
#define IDC_ALT 1129
#define IDC_WIN 1131
#define IDC_HOTKEY2 1130
#define IDC_NUMBER 1140
#define IDC_LABEL 1141

#define IDM_SUBMENU 300 // a plug-in's submenu, in English and in Japanese
#define IDM_ENTRY 301
#define IDM_NO_POPUP 302 // a menu whose first item opens nothing

#define IDS_BOTH_LANGUAGES 900 // in English and in Japanese
#define IDS_JAPANESE_ONLY 901
#define IDS_FORMATTED 902 // "%1!s! failed%0" / Japanese
