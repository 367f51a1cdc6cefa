// Texts of seethru.dll, Japanese (JA_) beside English (EN_); seethru.rc
// points T(name) at one language at a time around seethru.rcinc.
#pragma once

#include "plugin_sdk/dialog_texts.h"

#define JA_UNDO "透明化を戻す"
#define EN_UNDO "&Undo translucency"
#define JA_ALL_WINDOWS "全てのウインドウ"
#define EN_ALL_WINDOWS "&All windows"
#define JA_KEY "半透明化キー(&T)"
#define EN_KEY "&Translucency key"
#define JA_STEPS "設定する透明度"
#define EN_STEPS "Opacities to use"
#define JA_DISPLAY "表示"
#define EN_DISPLAY "Display"
