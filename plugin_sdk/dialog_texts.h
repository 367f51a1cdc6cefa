// Texts that several plug-ins' dialogs share, Japanese (JA_) beside English
// (EN_), for their resource scripts' T(name): the Cancel button and the
// feedback settings (tips, balloon, display time).
#pragma once

#define JA_CANCEL "キャンセル"
#define EN_CANCEL "Cancel"
#define JA_SHOW_TIPS "Tipsを表示する"
#define EN_SHOW_TIPS "Show tips"
#define JA_SHOW_BALLOON "バルーンを表示する"
#define EN_SHOW_BALLOON "Show balloon"
#define JA_TIME "表示時間"
#define EN_TIME "Display time"
