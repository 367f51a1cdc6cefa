#pragma once
// The probe plug-in (tests/plugins/probe, built as tests/plugins/probe.dll,
// never shipped): a plug-in that uses every part of the plug-in contract
// and writes down what it sees, so that any whole-program test can watch
// the running zuvo.exe from inside and act in it.
//
// Installing it: copy probe.dll into the program folder's plugin\ under any
// file name (probe.dll, probe_b.dll, ...) and list it in zuvo.ini [Plugin].
// Each copy calls itself by its file name without ".dll" (its *name*).
// tests/support/probe.h has helpers for all of this.
//
// CONTROL
//  1. Settings: <name>.ini in the program folder, section [Probe], read at
//     entry and again on event `reload`. Keys (all optional):
//       Log=0x111,0x800     messages its hook writes down ("*" = every
//                           message; default WM_COMMAND only). Numbers are
//                           decimal or 0x-hex, separated by commas.
//       Swallow=0x111       messages its hook reports as handled (default none)
//       EventResult=1       what ZUVOPLUG_event returns
//       Keys=0x34B,0x8326   hot keys registered at entry through ZUVO_keyreg,
//                           key i with event code 0x100 + i
//       MenuItems=2         string items "<name> item i", event code 0x200 + i
//       MenuChecked=1       index of the ticked item (-1: none)
//       MenuPopup=1         then an empty popup "<name> popup" (greyed) with
//                           identifier command value 0x2FF
//       MenuSeparator=1     then a separator
//       MenuAction=choose   what to do once the popup menu is open, from a
//                           timer inside the menu loop: none | end (EndMenu)
//                           | escape (Escape keys to the menu window)
//                           | choose (arrow keys and Return)
//       MenuChoose=0x10585  with choose: the identifier of the item to pick
//       MenuActionDelay=100 milliseconds after the menu opened
//       TipsText=...        text of `post_tips` (default "&{M0,<name>\n}");
//                           "\n" in the value stands for a line break
//       TipsTime=3000       its display time
//       GarbagePointer=0x10 wParam of `post_tips_garbage`
//       BalloonText=...     text of `post_balloon` (default "<name>")
//       DelayMs=500         delay of `post_delayed`
//       PostCommand=0x504   wParam of `post_command`, PostLParam its lParam
//       ShowTips=1, ShowBalloon=0, FeedbackLine1=..., FeedbackLine2=...
//                           the feedback pattern of `feedback` (buffers made
//                           at entry only, as every plug-in does)
//       EntryEnd=none       how the entry ends the program once it has done
//                           its work: none | destroy (DestroyWindow of the
//                           main window) | quit (PostQuitMessage) | exit
//                           (posts the exit command and pumps messages until
//                           the main window is gone)
//     Read by ZUVOPLUG_config each time it runs (in the setup program):
//       ConfigSelect=1      it also calls MXRCTL_ControlSelect of its host
//                           (looked up in GetModuleHandleW(nullptr), which is
//                           passed as the module) with its owner window and
//                           a selection block of these values:
//       ConfigMixer=Speakers, ConfigDestination=0, ConfigSource=-1,
//       ConfigBalance=0
//       ConfigCalls         counted up by every call (written by the probe)
//  2. Commands: post WM_COMMAND to the main window with wParam
//     (code << 16) | (0x0600 + index); the probe acts on these event codes.
//
// REPORT
//  probe.log in the program folder, shared by every copy: UTF-16LE with a
//  byte-order mark, one record per line, fields separated by tabs:
//      tick  name  kind  field...
//  tick = GetTickCount64() in ms. Numbers are 0x-hex unless said otherwise.
//  Kinds and their fields:
//      entry      index(decimal) main-window keyreg-found(0/1)
//      keyreg     hotkey command-value result(0/1, "absent" without ZUVO_keyreg)
//      msg        message wparam lparam              (those listed in Log)
//      icon       width height (decimal; after a logged tray update 0x810
//                 with an icon: the size of the icon handed to the shell)
//      event      code result(0/1)
//      menu       items-in-host-menu-before(decimal)
//      popup      menu-handle item-count(decimal)     (WM_INITMENUPOPUP)
//      item       position(decimal) id type state has-submenu(0/1) text
//      subitem    parent-position(decimal) position(decimal) id type state text
//                 (each item of an item's submenu, after that item)
//      action     what(end|escape|choose|missing) keys-sent(decimal)
//      release    com-up(0/1: COM still initialised on the host's thread)
//                 (also for a copy built without entry that was never entered)
//      config     owner entry-ran(0/1)
//      select     chosen(0/1) destination source balance mixer  (after
//                 config with ConfigSelect=1: the returned block, numbers
//                 signed decimal; just "absent" without the export)
//  A record's text field is the last one and may contain anything but tabs
//  and line breaks (which are written as spaces).

#include <cstdint>

namespace probe_protocol {

// Event codes (high word of the probe's command value).
constexpr uint16_t post_tips = 0x0001;         // tips request with TipsText, TipsTime
constexpr uint16_t post_tips_garbage = 0x0002; // tips request with GarbagePointer
constexpr uint16_t post_balloon = 0x0003;      // balloon request, caption <name>, BalloonText
constexpr uint16_t post_delayed = 0x0004;      // delayed command for `delayed_fired`, DelayMs
constexpr uint16_t delayed_fired = 0x0005;     // arrives when that delay ends
constexpr uint16_t reload = 0x0006;            // read <name>.ini again
constexpr uint16_t post_command = 0x0007;      // posts WM_COMMAND PostCommand, PostLParam
constexpr uint16_t destroy_inside = 0x0008;    // DestroyWindow(main window) inside the event
constexpr uint16_t feedback = 0x0009;          // the tips/balloon pattern with FeedbackLine1/2
// Posts WM_COMMAND for `sync_done` to the main window. Posted messages are
// handled in order, and a message sent across threads overtakes them, so the
// arrival of `sync_done` is the sure sign that everything posted before
// `sync`, and everything that posted in turn, has been handled.
constexpr uint16_t sync = 0x000A;
constexpr uint16_t sync_done = 0x000B;
constexpr uint16_t hotkey_base = 0x0100;    // + i: hot key i of Keys
constexpr uint16_t menu_item_base = 0x0200; // + i: menu item i
constexpr uint16_t menu_popup = 0x02FF;     // identifier of the empty popup item

constexpr const wchar_t* log_file = L"probe.log";
constexpr const wchar_t* section = L"Probe";

} // namespace probe_protocol
