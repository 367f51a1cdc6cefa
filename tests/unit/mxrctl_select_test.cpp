// The control selection dialog, driven the way a user drives it, and the
// control description, both over the fake audio system and with this
// program's copy of the dialog resources (mxrctl_select_test.rc).

#include "mxrctl/control_select.h"
#include "mxrctl/control_select_ids.h"
#include "mxrctl/control_select_text.h"
#include "mxrctl/mxrctl_ca.h"
#include "mxrctl/mxrctl_exports.h"
#include "winui/ui_language.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using fakeaudio::description;
using texts = std::vector<std::wstring>;

namespace {

HMODULE self() {
    return GetModuleHandleW(nullptr);
}

TEST(control_select_text, caption_follows_the_first_bracket_and_labels_stay_literal) {
    const struct {
        const wchar_t *entry, *caption;
    } cases[] = {{L"[M] Speakers", L"Speakers"},
                 {L"[3]\t \tCD Audio ", L"CD Audio "},
                 {L"[1] ", L""},
                 {L"[2] a]b", L"a]b"},
                 {L"no bracket", L""},
                 {L"", L""}};
    for (const auto& c : cases)
        EXPECT_EQ(caption_from_control_entry(c.entry), c.caption) << c.entry;
    EXPECT_EQ(balance_template(L"L%1R", true), L"(L%%1R: %1!d!%%)");
    EXPECT_EQ(balance_template(L"L%1R", false), L"(L%%1R: %1!d!)");
}

// List order: Speakers (lines "Speakers", "", "CD Audio"), Microphone (one
// mono line), a nameless device, Speakers 2 (master only), Studio (lines
// "Studio Out", "CD Audio", mono "Line In", "Aux"), USB Speakers, Line %1 100%.
description select_devices() {
    description d = description::standard();
    d.render(L"", false);
    d.render(L"Speakers 2", false);
    const int studio = d.render(L"Studio", false);
    const int out = d.connector(studio, L"Studio Out", Physical_External, Out);
    const int volume = d.subunit(studio, L"Studio Volume");
    const int sum = d.sum(studio, L"Sum");
    d.volume(volume, 2, -64, 0, -10).chain({sum, volume, out}).attach(studio, out);
    for (const wchar_t* input : {L"CD Audio", L"Line In", L"Aux"}) {
        const int jack = d.connector(studio, input, Physical_External, In);
        const int level = d.subunit(studio, std::wstring(input) + L" Volume");
        d.volume(level, input[0] == L'L' ? 1 : 2, -34.5f, 12, 0).chain({jack, level, sum});
    }
    d.render(L"USB Speakers", false);
    d.render(L"Line %1 100%", false);
    return d;
}

const texts all_entries = {L"<DefaultMixer>", L"Speakers",     L"Microphone",  L"Speakers 2",
                           L"Studio",         L"USB Speakers", L"Line %1 100%"};
const texts without_usb = {L"<DefaultMixer>", L"Speakers", L"Microphone",
                           L"Speakers 2",     L"Studio",   L"Line %1 100%"};
const texts speakers_controls = {L"[M] Speakers", L"[0] Speakers", L"[1] ", L"[2] CD Audio"};
const texts microphone_controls = {L"[M] Microphone", L"[0] Microphone"};
const texts studio_controls = {L"[M] Studio", L"[0] Studio Out", L"[1] CD Audio", L"[2] Line In",
                               L"[3] Aux"};
// With programs offered (the fixture's sessions).
const texts default_programs = {L"[M] <DefaultMixer>", L"[A] Player (Player.exe)", L"[A] chat.exe"};
const texts studio_programs = {L"[M] Studio", L"[0] Studio Out",    L"[1] CD Audio", L"[2] Line In",
                               L"[3] Aux",    L"[A] DAW (daw.exe)", L"[A] gone.exe"};

class select_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ui_language(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))
            << "these tests compare English texts; the process runs in another UI language";
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
        // Programs with audio, which only a caller that knows programs sees:
        // one of them with two sessions, one holding a stream it does not play.
        const int speakers = audio.device(L"Speakers");
        audio.add_session(speakers, 41, L"C:\\Apps\\Player.exe", L"Player", 0.5f);
        audio.add_session(speakers, 42, L"C:\\Apps\\player.exe", L"", 0.3f);
        audio.add_session(speakers, 43, L"C:\\Tools\\chat.exe", L"", 0.8f, false);
        audio.add_session(audio.device(L"Studio"), 44, L"D:\\daw.exe", L"DAW");
    }
    void TearDown() override {
        EXPECT_EQ(audio.live_objects(), 0) << audio.live_object_list();
        m_mxrctl_ca::set_enumerator_factory(nullptr);
        CoUninitialize();
    }
    fakeaudio::world audio{select_devices()};
};

// ---------------------------------------------------------------------------
// describe_control

std::wstring describe(const wchar_t* caption, const wchar_t* mixer, int32_t source, int32_t balance,
                      size_t capacity = 1024, const wchar_t* application = L"") {
    control_entry entry;
    lstrcpynW(entry.application, application, 261);
    lstrcpynW(entry.caption, caption, 64);
    lstrcpynW(entry.mixer, mixer, 256);
    entry.source = source;
    entry.balance = balance;
    std::vector<wchar_t> text(capacity + 1, L'?');
    text.back() = L'\0'; // stops the read should the call not terminate
    describe_control(self(), entry, text.data(), capacity);
    return text.data();
}

TEST_F(select_test, description_of_each_kind_of_entry) {
    audio.remove(audio.device(L"USB Speakers"));
    const struct {
        const wchar_t *caption, *mixer;
        int32_t source, balance;
        const wchar_t* text;
        const wchar_t* application = L"";
    } cases[] = {
        {L"", L"Speakers", -1, 0, L"---- not registered ----"},
        {L"x", L"", 2, 20, L"<DefaultMixer>"},
        {L"x", L"Speakers", -1, 30, L"Mixer : Speakers\r\nControl : [M] Speakers\r\nChannels : 1 "},
        // The device's own name, not the stored beginning of it.
        {L"x", L"Speak", 0, 0,
         L"Mixer : Speakers\r\nControl : [0] Speakers\r\nChannels : 2 (Balance: 0%)"},
        {L"x", L"Studio", 3, 0,
         L"Mixer : Studio\r\nControl : [3] Aux\r\nChannels : 2 (Balance: 0%)"},
        {L"x", L"Studio", 3, -20,
         L"Mixer : Studio\r\nControl : [3] Aux\r\nChannels : 2 (Balance: -20%)"},
        {L"x", L"Studio", 2, -20, L"Mixer : Studio\r\nControl : [2] Line In\r\nChannels : 1 "},
        {L"x", L"Line %1", -1, 0,
         L"Mixer : Line %1 100%\r\nControl : [M] Line %1 100%\r\nChannels : 1 "},
        // What cannot be opened shows the stored name.
        {L"x", L"Speak", 9, 0, L"Mixer : Speak\r\nControl : [9] ## ERROR ##\r\nChannels : 0 "},
        {L"x", L"USB Speakers", -1, 50,
         L"Mixer : USB Speakers\r\nControl : [M] ## ERROR ##\r\nChannels : 0 "},
        // A program's audio: its own name when it plays, else its file name.
        {L"x", L"", -2, 0,
         L"Mixer : <DefaultMixer>\r\nControl : [A] Player (PLAYER.EXE)\r\nChannels : 1 ",
         L"PLAYER.EXE"},
        {L"x", L"Studio", -2, 0, L"Mixer : Studio\r\nControl : [A] DAW (daw.exe)\r\nChannels : 1 ",
         L"daw.exe"},
        {L"x", L"Speakers", -2, 0, L"Mixer : Speakers\r\nControl : [A] gone.exe\r\nChannels : 1 ",
         L"gone.exe"},
        {L"x", L"USB Speakers", -2, 0,
         L"Mixer : USB Speakers\r\nControl : [A] ## ERROR ##\r\nChannels : 0 ", L"daw.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(c.caption, c.mixer, c.source, c.balance, 1024, c.application), c.text)
            << c.mixer << " " << c.source;
    EXPECT_EQ(describe(L"x", L"Speakers", -1, 0, 8), L"Mixer :");
    EXPECT_EQ(describe(L"", L"Speakers", -1, 0, 5), L"----");
    describe_control(self(), control_entry{}, nullptr, 100); // nowhere to write: nothing happens
}

// ---------------------------------------------------------------------------
// The dialog, driven from a timer that its own modal loop dispatches

class scripted_dialog {
public:
    explicit scripted_dialog(std::function<void(HWND)> steps) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 20, tick);
    }
    ~scripted_dialog() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool ran() const { return ran_; }
    bool timed_out() const { return timed_out_; }

    static void press(HWND dialog, int button) {
        current_->pressed_ = true;
        SendDlgItemMessageW(dialog, button, BM_CLICK, 0, 0);
    }

private:
    // A function of its own: in 32 bits the callback is stdcall, which a
    // lambda does not convert to.
    static BOOL CALLBACK note_dialog(HWND window, LPARAM out) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (lstrcmpW(name, L"#32770") == 0) *reinterpret_cast<HWND*>(out) = window;
        return TRUE;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), note_dialog, reinterpret_cast<LPARAM>(&dialog));
        scripted_dialog* self = current_;
        if (!self || !dialog) return;
        if (!self->ran_) {
            self->ran_ = true;
            self->steps_(dialog);
            if (!self->pressed_) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        } else if (++self->ticks_after_ > 250) {
            self->timed_out_ = true; // the button did not end it
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }

    static inline scripted_dialog* current_ = nullptr;
    std::function<void(HWND)> steps_;
    UINT_PTR timer_ = 0;
    bool ran_ = false, pressed_ = false, timed_out_ = false;
    int ticks_after_ = 0;
};

texts entries(HWND dialog, int id) {
    texts found(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
    for (size_t i = 0; i < found.size(); ++i) {
        wchar_t text[300] = {};
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        found[i] = text;
    }
    return found;
}
void choose(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
// Moves the trackbar, which tells the dialog by WM_HSCROLL or by WM_NOTIFY.
void slide(HWND dialog, int position, bool by_notify = false) {
    HWND bar = GetDlgItem(dialog, IDC_SELECT_BALANCE);
    SendMessageW(bar, TBM_SETPOS, TRUE, position);
    NMHDR header{bar, IDC_SELECT_BALANCE, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    if (by_notify)
        SendMessageW(dialog, WM_NOTIFY, IDC_SELECT_BALANCE, reinterpret_cast<LPARAM>(&header));
    else
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(bar));
}

// What the user sees.
struct dialog_view {
    texts mixers;
    LRESULT mixer;
    texts controls;
    LRESULT control;
    bool controls_enabled;
    std::wstring channels;
    bool balance_enabled;
    LRESULT position;
    std::wstring percent;
    bool operator==(const dialog_view&) const = default;
};

void PrintTo(const dialog_view& v, std::ostream* out) {
    using ::testing::PrintToString;
    *out << PrintToString(v.mixers) << " #" << v.mixer << " " << PrintToString(v.controls) << " #"
         << v.control << (v.controls_enabled ? " on" : " off") << ", channels "
         << PrintToString(v.channels) << ", balance" << (v.balance_enabled ? " on " : " off ")
         << v.position << " " << PrintToString(v.percent);
}

dialog_view view_of(HWND d) {
    auto text = [d](int id) {
        wchar_t t[64] = {};
        GetDlgItemTextW(d, id, t, 64);
        return std::wstring(t);
    };
    auto enabled = [d](int id) { return IsWindowEnabled(GetDlgItem(d, id)) != FALSE; };
    return {entries(d, IDC_SELECT_MIXER),
            SendDlgItemMessageW(d, IDC_SELECT_MIXER, CB_GETCURSEL, 0, 0),
            entries(d, IDC_SELECT_CONTROL),
            SendDlgItemMessageW(d, IDC_SELECT_CONTROL, CB_GETCURSEL, 0, 0),
            enabled(IDC_SELECT_CONTROL),
            text(IDC_SELECT_CHANNELS),
            enabled(IDC_SELECT_BALANCE),
            SendDlgItemMessageW(d, IDC_SELECT_BALANCE, TBM_GETPOS, 0, 0),
            text(IDC_SELECT_BALANCE_TEXT)};
}

control_choice choice_of(const wchar_t* mixer, int32_t destination, int32_t source, int32_t balance,
                         const wchar_t* caption = L"old caption",
                         const wchar_t* application = L"") {
    control_choice c;
    std::memset(&c, 0xCC, sizeof c); // garbage behind the texts
    lstrcpynW(c.application, application, 261);
    lstrcpynW(c.mixer, mixer, 256);
    c.destination = destination;
    c.source = source;
    c.balance = balance;
    lstrcpynW(c.caption, caption, 64);
    return c;
}

void expect_choice(const control_choice& c, const control_choice& expected) {
    EXPECT_STREQ(c.application, expected.application);
    EXPECT_STREQ(c.mixer, expected.mixer);
    EXPECT_EQ(c.destination, expected.destination);
    EXPECT_EQ(c.source, expected.source);
    EXPECT_EQ(c.balance, expected.balance);
    EXPECT_STREQ(c.caption, expected.caption);
}

// Shows the dialog for `choice`, plays `steps`, and tells whether OK ended it.
bool run_with(control_choice& choice, std::function<void(HWND)> steps,
              bool offer_programs = false) {
    scripted_dialog script(std::move(steps));
    const bool ok = run_control_select(self(), nullptr, choice, offer_programs);
    EXPECT_TRUE(script.ran()) << "no dialog came up";
    EXPECT_FALSE(script.timed_out());
    return ok;
}

// What the dialog shows for a stored choice, and what OK without a change returns.
struct start_case {
    const char* what;
    control_choice stored;
    dialog_view shown;
    control_choice returned;
    bool offer_programs = false;
};

void PrintTo(const start_case& c, std::ostream* out) {
    *out << c.what;
}

class select_start : public select_test, public ::testing::WithParamInterface<start_case> {};

TEST_P(select_start, shows_the_stored_choice_and_ok_returns_it) {
    const start_case& c = GetParam();
    audio.remove(audio.device(L"USB Speakers"));
    control_choice choice = c.stored;
    EXPECT_TRUE(run_with(
        choice,
        [&](HWND d) {
            EXPECT_EQ(view_of(d), c.shown);
            // The trackbar notifies when it paints or lets the mouse go as well;
            // that is no move, and a balance between two steps must survive it.
            slide(d, static_cast<int>(c.shown.position), true);
            RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            EXPECT_EQ(view_of(d), c.shown);
            EXPECT_EQ(audio.registered_callbacks(), 0u) << "listing watches nothing";
            scripted_dialog::press(d, IDOK);
        },
        c.offer_programs));
    expect_choice(choice, c.returned);
}

INSTANTIATE_TEST_SUITE_P(
    table, select_start,
    ::testing::Values(
        start_case{"default device; the nameless and the missing devices are not listed",
                   choice_of(L"", 0, -1, 0),
                   {without_usb, 0, {}, CB_ERR, false, L"0", false, 0, L"0%"},
                   choice_of(L"", 0, -1, 0, L"#DefaultMixer")},
        start_case{"two devices match: the later is shown, the controls are the first one's",
                   choice_of(L"Speakers", 0, 2, -30),
                   {without_usb, 3, speakers_controls, 3, true, L"2", true, -3, L"-30%"},
                   choice_of(L"Speakers", 0, 2, -30, L"CD Audio")},
        start_case{"a mono control keeps the stored balance",
                   choice_of(L"Microphone", 0, 0, 50),
                   {without_usb, 2, microphone_controls, 1, true, L"1", false, 5, L"50%"},
                   choice_of(L"Microphone", 0, 0, 50, L"Microphone")},
        start_case{"a balance between two steps",
                   choice_of(L"Studio", 0, 3, -25),
                   {without_usb, 4, studio_controls, 4, true, L"2", true, -2, L"-25%"},
                   choice_of(L"Studio", 0, 3, -25, L"Aux")},
        // Nothing to propose for a device that is not there: the caption stays.
        start_case{"a stored device that is gone comes back unchanged",
                   choice_of(L"USB Speakers", 2, 1, 20, L"Desk"),
                   {without_usb, 0, {}, CB_ERR, false, L"0", false, 2, L"20%"},
                   choice_of(L"USB Speakers", 2, 1, 20, L"Desk")},
        start_case{"programs offered: the default device lists its master and its programs",
                   choice_of(L"", 0, -1, 0),
                   {without_usb, 0, default_programs, 0, true, L"0", false, 0, L"0%"},
                   choice_of(L"", 0, -1, 0, L"#DefaultMixer"),
                   true},
        start_case{"a stored program is found whatever the case of its name",
                   choice_of(L"", 0, -2, 0, L"x", L"player.exe"),
                   {without_usb, 0, default_programs, 1, true, L"1", false, 0, L"0%"},
                   choice_of(L"", 0, -2, 0, L"Player", L"player.exe"),
                   true},
        start_case{"a stored program that plays nothing now stays choosable",
                   choice_of(L"Studio", 0, -2, 0, L"Mine", L"gone.exe"),
                   {without_usb, 4, studio_programs, 6, true, L"1", false, 0, L"0%"},
                   choice_of(L"Studio", 0, -2, 0, L"gone.exe", L"gone.exe"),
                   true}));

struct pick_case {
    int device, control;
    texts controls;
    const wchar_t *mixer, *caption;
    int32_t source;
    const wchar_t* channels;
    int slide_to; // where the user moves the trackbar, when it is enabled
};

void PrintTo(const pick_case& c, std::ostream* out) {
    *out << "device entry " << c.device << ", control entry " << c.control;
}

class select_pick : public select_test, public ::testing::WithParamInterface<pick_case> {};

TEST_P(select_pick, chosen_device_and_control_come_back) {
    const pick_case& c = GetParam();
    const bool stereo = std::wstring(c.channels) == L"2";
    control_choice choice = choice_of(L"Studio", 7, 1, 50);
    EXPECT_TRUE(run_with(choice, [&](HWND d) {
        EXPECT_EQ(view_of(d).mixers, all_entries);
        choose(d, IDC_SELECT_MIXER, c.device);
        EXPECT_EQ(view_of(d).controls, c.controls);
        EXPECT_EQ(view_of(d).control, 0) << "a new device starts at its first entry";
        choose(d, IDC_SELECT_CONTROL, c.control);
        const dialog_view v = view_of(d);
        EXPECT_EQ(v.channels, c.channels);
        EXPECT_EQ(v.balance_enabled, stereo);
        EXPECT_EQ(v.percent, L"0%");
        if (stereo) slide(d, c.slide_to);
        scripted_dialog::press(d, IDOK);
    }));
    expect_choice(choice, choice_of(c.mixer, 0, c.source, stereo ? c.slide_to * 10 : 0, c.caption));
}

INSTANTIATE_TEST_SUITE_P(
    table, select_pick,
    ::testing::Values(
        pick_case{2, 0, microphone_controls, L"Microphone", L"Microphone", -1, L"1", 0},
        pick_case{2, 1, microphone_controls, L"Microphone", L"Microphone", 0, L"1", 0},
        pick_case{1, 2, speakers_controls, L"Speakers", L"", 1, L"2", -10},
        pick_case{3, 0, {L"[M] Speakers 2"}, L"Speakers 2", L"Speakers 2", -1, L"1", 0},
        pick_case{4, 4, studio_controls, L"Studio", L"Aux", 3, L"2", 4},
        pick_case{4, 3, studio_controls, L"Studio", L"Line In", 2, L"1", 0},
        pick_case{4, 1, studio_controls, L"Studio", L"Studio Out", 0, L"2", 10}));

TEST_F(select_test, another_control_or_the_default_entry_resets_what_was_chosen) {
    control_choice choice = choice_of(L"Studio", 4, 3, -60);
    EXPECT_TRUE(run_with(choice, [&](HWND d) {
        slide(d, -7, true);
        EXPECT_EQ(view_of(d).percent, L"-70%");
        choose(d, IDC_SELECT_CONTROL, 1);
        EXPECT_EQ(view_of(d).position, 0) << "a new control starts centred";
        EXPECT_EQ(view_of(d).percent, L"0%");
        slide(d, 5);
        choose(d, IDC_SELECT_MIXER, 0);
        EXPECT_EQ(view_of(d),
                  (dialog_view{all_entries, 0, {}, CB_ERR, false, L"0", false, 0, L"0%"}));
        scripted_dialog::press(d, IDOK);
    }));
    expect_choice(choice, choice_of(L"", 0, -1, 0, L"#DefaultMixer"));
}

TEST_F(select_test, a_chosen_program_comes_back_and_a_line_chosen_after_it_forgets_it) {
    control_choice choice = choice_of(L"Speakers", 0, -2, 0, L"x", L"chat.exe");
    EXPECT_TRUE(run_with(
        choice,
        [&](HWND d) {
            choose(d, IDC_SELECT_MIXER, 0);
            choose(d, IDC_SELECT_CONTROL, 1);
            scripted_dialog::press(d, IDOK);
        },
        true));
    expect_choice(choice, choice_of(L"", 0, -2, 0, L"Player", L"Player.exe"));
    EXPECT_TRUE(run_with(
        choice,
        [&](HWND d) {
            choose(d, IDC_SELECT_MIXER, 1);
            EXPECT_EQ(view_of(d).controls.size(), speakers_controls.size() + 2);
            choose(d, IDC_SELECT_CONTROL, 3);
            scripted_dialog::press(d, IDOK);
        },
        true));
    expect_choice(choice, choice_of(L"Speakers", 0, 2, 0, L"CD Audio"));
}

TEST_F(select_test, cancel_and_close_leave_the_choice_untouched) {
    for (const bool button : {true, false}) {
        control_choice choice = choice_of(L"Speakers", 0, 2, -30);
        const control_choice before = choice;
        EXPECT_FALSE(run_with(choice, [&](HWND d) {
            choose(d, IDC_SELECT_MIXER, 4);
            choose(d, IDC_SELECT_CONTROL, 4);
            slide(d, 8);
            if (button)
                scripted_dialog::press(d, IDCANCEL);
            else
                SendMessageW(d, WM_CLOSE, 0, 0); // the close box, or Escape
        }));
        EXPECT_EQ(std::memcmp(&choice, &before, sizeof choice), 0) << button;
    }
}

// MXRCTL_ControlSelect, found the way plug-ins find it.
TEST_F(select_test, export_rewrites_the_block_only_on_ok) {
    auto select = reinterpret_cast<MXRCTL_ControlSelect_fn>(
        reinterpret_cast<void*>(GetProcAddress(self(), "MXRCTL_ControlSelect")));
    ASSERT_TRUE(select);
    auto run = [&](mxrctl_selection* block, std::function<void(HWND)> steps) {
        scripted_dialog script(std::move(steps));
        const bool ok = select(self(), nullptr, block);
        EXPECT_EQ(script.ran(), block != nullptr);
        return ok;
    };
    EXPECT_FALSE(run(nullptr, [](HWND d) { scripted_dialog::press(d, IDOK); }));

    mxrctl_selection block;
    std::memset(&block, 0xCC, sizeof block);
    lstrcpynW(block.mixer, L"Speakers", 256);
    block.destination = 3;
    block.source = block.balance = -1;
    const mxrctl_selection before = block;
    EXPECT_FALSE(run(&block, [](HWND d) {
        choose(d, IDC_SELECT_MIXER, 4);
        scripted_dialog::press(d, IDCANCEL);
    }));
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);

    EXPECT_TRUE(run(&block, [](HWND d) {
        choose(d, IDC_SELECT_MIXER, 2);
        choose(d, IDC_SELECT_CONTROL, 1);
        scripted_dialog::press(d, IDOK);
    }));
    EXPECT_EQ(std::wstring(block.mixer, 256), std::wstring(L"Microphone").append(246, L'\0'))
        << "nothing of the old name stays behind the new one";
    EXPECT_EQ(std::vector<int32_t>({block.destination, block.source, block.balance}),
              std::vector<int32_t>({0, 0, 0}));

    // A name filling the field without a terminator is read as 255
    // characters; it matches nothing, so OK returns it as it was read.
    std::fill(std::begin(block.mixer), std::end(block.mixer), L'A');
    EXPECT_TRUE(run(&block, [](HWND d) { scripted_dialog::press(d, IDOK); }));
    EXPECT_EQ(std::wstring(block.mixer), std::wstring(255, L'A'));

    // The block with a program's name offers the programs and returns one.
    auto select_ex = reinterpret_cast<MXRCTL_ControlSelectEx_fn>(
        reinterpret_cast<void*>(GetProcAddress(self(), "MXRCTL_ControlSelectEx")));
    ASSERT_TRUE(select_ex);
    mxrctl_selection_ex wide;
    std::memset(&wide, 0xCC, sizeof wide);
    lstrcpynW(wide.base.mixer, L"Studio", 256);
    wide.base.destination = wide.base.balance = 0;
    wide.base.source = -1;
    lstrcpynW(wide.application, L"", 2);
    scripted_dialog script([](HWND d) {
        choose(d, IDC_SELECT_CONTROL, 5);
        scripted_dialog::press(d, IDOK);
    });
    EXPECT_TRUE(select_ex(self(), nullptr, &wide));
    EXPECT_EQ(std::wstring(wide.application, 261), std::wstring(L"daw.exe").append(254, L'\0'));
    EXPECT_EQ(wide.base.source, -2);
    EXPECT_STREQ(wide.base.mixer, L"Studio");
}

// ---------------------------------------------------------------------------
// Both languages of the dialog

// Caption, then id and position of each item of the extended template.
std::vector<std::wstring> layout_of(LANGID language) {
    std::vector<std::wstring> layout;
    HRSRC found =
        FindResourceExW(self(), RT_DIALOG, MAKEINTRESOURCEW(IDD_CONTROL_SELECT), language);
    if (!found) return layout;
    const auto* t = static_cast<const uint8_t*>(LockResource(LoadResource(self(), found)));
    auto word = [t](size_t at) { return static_cast<uint16_t>(t[at] | (t[at + 1] << 8)); };
    auto skip_text = [&](size_t at) {
        if (word(at) == 0xFFFF) return at + 4;
        while (word(at)) at += 2;
        return at + 2;
    };
    layout.emplace_back(reinterpret_cast<const wchar_t*>(t + 30));
    size_t at = skip_text(skip_text(30) + 6); // past the caption, font size and face
    for (uint16_t i = 0, count = word(16); i < count; ++i) {
        at = (at + 3) & ~size_t{3};
        std::wstring item;
        for (size_t field = 12; field < 24; field += 2)
            item += std::to_wstring(static_cast<int16_t>(word(at + field))) + L' ';
        layout.push_back(item);
        at = skip_text(skip_text(at + 24)); // class, title
        at += 2 + word(at);
    }
    return layout;
}

TEST(control_select_resources, dialog_exists_in_both_languages_with_the_same_controls) {
    const auto english = layout_of(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    // x y cx cy and the id as two words (-1 -1 for a label).
    EXPECT_EQ(english,
              (texts{L"Dialog", L"5 5 55 12 -1 -1 ", L"65 5 165 96 21101 0 ", L"5 25 55 12 -1 -1 ",
                     L"65 25 165 96 21103 0 ", L"5 45 55 12 -1 -1 ", L"65 45 30 12 21104 0 ",
                     L"5 65 85 12 -1 -1 ", L"10 80 220 18 21105 0 ", L"190 60 42 12 21106 0 ",
                     L"125 105 50 14 1 0 ", L"180 105 50 14 2 0 "}));
    EXPECT_EQ(layout_of(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)), english);
}

} // namespace
