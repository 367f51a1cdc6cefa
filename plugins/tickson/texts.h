// Texts of the sound plug-in's menu and dialog, Japanese (JA_) beside
// English (EN_); tickson.rcinc names them through T(name).
#pragma once

#include "plugin_sdk/dialog_texts.h"

#define JA_CLICK_ITEM "操作音を鳴らす"
#define EN_CLICK_ITEM "Play the operation sound"
#define JA_BG_ITEM "背景音を鳴らす"
#define EN_BG_ITEM "Play the background sound"
#define JA_CLICK_BOX "操作音を鳴らす(&C)"
#define EN_CLICK_BOX "Play the operation sound (&C)"
#define JA_BG_BOX "背景音を鳴らす(&B)"
#define EN_BG_BOX "Play the background sound (&B)"
#define JA_WAV_FILE "WAVファイル"
#define EN_WAV_FILE "WAV file"
#define JA_ADD_MENU "メニューを追加する"
#define EN_ADD_MENU "Add the menu"
