#pragma once
// Identifiers of the main program's resources.

#define IDI_PROGRAM 101
#define IDD_ABOUT 116
#define IDC_ABOUT_CONTROL 1019
#define IDC_ABOUT_VERSION 1020

#include "mxrctl/mixer_string_ids.h"

#define IDS_MENU_SETUP 40000
#define IDS_MENU_INFO 40001
#define IDS_MENU_EXIT 40002
#define IDS_MENU_MUTE 40003
#define IDS_MENU_VOLUME_UP 40004
#define IDS_MENU_VOLUME_DOWN 40005
#define IDS_FAILED_TO_LOAD 40006
#define IDS_FAILED_TO_LOAD_PLUGIN 40007
#define IDS_FAILED_TO_START 40008
#define IDS_MENU_OUTPUT 40009
