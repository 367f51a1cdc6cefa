// Texts that several plug-ins' dialogs share, Japanese (JA_) beside English
// (EN_), for their resource scripts' T(name): the Cancel button and the
// feedback settings (tips, balloon, display time), and what a dialog says
// when OK could not save its settings (%1 the file) and stays open.
#pragma once

#define JA_CANCEL "キャンセル"
#define EN_CANCEL "Cancel"
#define JA_SHOW_TIPS "Tipsを表示する"
#define EN_SHOW_TIPS "Show tips"
#define JA_SHOW_BALLOON "バルーンを表示する"
#define EN_SHOW_BALLOON "Show balloon"
#define JA_TIME "表示時間"
#define EN_TIME "Display time"
#define JA_SAVE_FAILED                                                                                                                   \
    "設定を %1!s! に保存できませんでした。ファイルが読み取り専用か、他のプログラムが使用中か、" \
    "ディスクがいっぱいです。Quellbar は以前の設定のまま動作します。OK でもう一度保存するか、"     \
    "キャンセルで変更を破棄してください。%0"
#define EN_SAVE_FAILED                                                                             \
    "The settings could not be saved to %1!s!. The file may be read-only, in use by another "      \
    "program, or the disk may be full. Quellbar keeps running with its previous settings. Press "  \
    "OK to try again, or Cancel to discard the changes.%0"
