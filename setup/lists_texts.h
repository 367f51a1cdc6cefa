// Texts of the Controls, Launcher and Plug-ins pages, Japanese (JA_) beside
// English (EN_), named through T(name) in lists_dialogs.rcinc.
#pragma once

// Shared by the two slot lists.
#define JA_SLOT_LIST "登録リスト(&R)"
#define EN_SLOT_LIST "&Registered"
#define JA_SLOT_UP "↑"
#define EN_SLOT_UP "↑"
#define JA_SLOT_DOWN "↓"
#define EN_SLOT_DOWN "↓"
#define JA_SLOT_DELETE "削除"
#define EN_SLOT_DELETE "Delete"
#define JA_SLOT_LABEL "ラベル(&L)"
#define EN_SLOT_LABEL "&Label"

// Controls page.
#define JA_CONTROLS "コントロール"
#define EN_CONTROLS "Controls"
#define JA_CTL_SELECT "選択(&S)"
#define EN_CTL_SELECT "&Select..."
#define JA_CTL_CONTROL "コントロール"
#define EN_CTL_CONTROL "Control"
#define JA_CTL_OWN_COLOR "テキスト色を変更(&C)"
#define EN_CTL_OWN_COLOR "Own text &colour"
#define JA_CTL_CHOOSE_COLOR "色選択"
#define EN_CTL_CHOOSE_COLOR "Colour..."
#define JA_CTL_OWN_ICON "タスクトレイアイコンを変更(&I)"
#define EN_CTL_OWN_ICON "Own tray &icon"

// Launcher page. In resource text "" is one quotation mark and && one
// ampersand, so the note shows "&" in quotes. Each note stays one literal:
// the resource compiler joins adjacent literals without the marks between.
#define JA_LAUNCHER "ランチャー"
#define EN_LAUNCHER "Launcher"
#define JA_LAUNCH_COMMAND "コマンド(&C)"
#define EN_LAUNCH_COMMAND "&Command line"
#define JA_LAUNCH_HOTKEY "ホットキー(&H)"
#define EN_LAUNCH_HOTKEY "&Hot key"
// clang-format off
#define JA_LAUNCH_NOTE "ラベルに""&&""を使用すると、ショートカットキーが設定されます。"
#define EN_LAUNCH_NOTE "An ""&&"" in the label makes the next letter the menu's shortcut key."
// clang-format on

// Plug-ins page.
#define JA_PLUGINS "プラグイン"
#define EN_PLUGINS "Plug-ins"
#define JA_PLUG_INFO "プラグイン情報"
#define EN_PLUG_INFO "Plug-in information"
#define JA_PLUG_HOTKEY_CHECK "ホットキーID チェック"
#define EN_PLUG_HOTKEY_CHECK "Hot-key ID check"
#define JA_PLUG_SETTINGS "設定"
#define EN_PLUG_SETTINGS "Settings..."
