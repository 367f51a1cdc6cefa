// The sound plug-in inside a running zuvo.exe, heard on the session's
// PulseAudio null sink: its monitor is recorded with parec while the program
// runs, and PulseAudio is asked which playback streams are open.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t tickson_index = 0;
constexpr uint32_t probe_index = 1;
constexpr WPARAM volume_up = 0x0580;
constexpr WPARAM popup_command = 0x0584;
constexpr uint32_t rate = 44100;
constexpr size_t window = rate / 200; // 5 ms

// The Unix name of a file the test can reach as a Windows path.
std::string unix_path(const std::wstring& windows_path) {
    using convert_fn = char*(__cdecl*)(const wchar_t*);
    auto convert = reinterpret_cast<convert_fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return {};
    char* name = convert(windows_path.c_str());
    if (!name) return {};
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a shell command line on the Unix side (Wine starts ELF programs too).
// Unix children have no Windows handles to wait on: scripts signal their end
// through files.
bool run_unix(const std::string& script) {
    std::wstring command = L"/bin/sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    return started != FALSE;
}

// Number of playback streams PulseAudio has open, or -1 when pactl did not answer.
int playback_streams(const temp_folder& scratch) {
    static int round = 0;
    const std::wstring list = scratch.file(L"inputs" + std::to_wstring(++round) + L".txt");
    const std::string out = unix_path(list);
    if (out.empty() ||
        !run_unix("pactl list short sink-inputs > " + out + ".tmp && mv " + out + ".tmp " + out))
        return -1;
    if (!wait_until([&] { return file_exists(list); }, 5s)) return -1;
    const std::wstring text = read_text(list);
    return static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
}

// Records the null sink's monitor as 16-bit mono samples while it lives.
class recording {
public:
    explicit recording(const temp_folder& scratch)
        : raw_(scratch.file(L"monitor.raw")), pid_(scratch.file(L"parec.pid")) {
        run_unix("echo $$ > " + unix_path(pid_) +
                 "; exec parec --device=Speakers.monitor --raw --format=s16le --rate=44100 "
                 "--channels=1 --latency-msec=10 > " +
                 unix_path(raw_));
        started_ = wait_until([&] { return samples() > rate / 20; }, 10s);
    }
    ~recording() { stop(); }
    bool started() const { return started_; }
    // Samples recorded so far: a time mark within the recording.
    size_t samples() const {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(raw_.c_str(), GetFileExInfoStandard, &data)) return 0;
        return data.nFileSizeLow / 2;
    }
    std::vector<int16_t> stop() {
        if (file_exists(pid_)) {
            run_unix("p=$(cat " + unix_path(pid_) +
                     "); kill $p; while kill -0 $p 2>/dev/null; "
                     "do sleep 0.02; done; rm " +
                     unix_path(pid_));
            wait_until([&] { return !file_exists(pid_); }, 5s);
        }
        return peek();
    }
    // What was recorded so far.
    std::vector<int16_t> peek() const {
        const std::vector<uint8_t> bytes = read_bytes(raw_);
        std::vector<int16_t> out(bytes.size() / 2);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        return out;
    }

private:
    std::wstring raw_, pid_;
    bool started_ = false;
};

double rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    to = std::min(to, s.size());
    if (from >= to) return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(to - from));
}

// Sounds in a recording: stretches of 5 ms windows louder than `threshold`,
// those less than 60 ms apart counted as one. Start sample of each.
std::vector<size_t> sound_onsets(const std::vector<int16_t>& s, double threshold) {
    std::vector<size_t> onsets;
    size_t last_loud = 0;
    bool any = false;
    for (size_t at = 0; at + window <= s.size(); at += window) {
        if (rms(s, at, at + window) < threshold) continue;
        if (!any || at - last_loud > rate * 60 / 1000) onsets.push_back(at);
        last_loud = at;
        any = true;
    }
    return onsets;
}

// Samples of a 16-bit mono PCM wave file as our tool writes it.
std::vector<int16_t> wave_samples(const std::wstring& path) {
    const std::vector<uint8_t> b = read_bytes(path);
    std::vector<int16_t> out;
    if (b.size() < 44) return out;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        out.push_back(static_cast<int16_t>(b[i] | (b[i + 1] << 8)));
    return out;
}

// Best normalised correlation of `pattern` with `s` near `around`.
double best_match(const std::vector<int16_t>& s, size_t around,
                  const std::vector<int16_t>& pattern) {
    double best = 0;
    const size_t from = around > rate / 50 ? around - rate / 50 : 0;
    for (size_t start = from; start < around + rate / 50 && start + pattern.size() <= s.size();
         ++start) {
        double dot = 0, a = 0, b = 0;
        for (size_t i = 0; i < pattern.size(); ++i) {
            dot += double(s[start + i]) * pattern[i];
            a += double(s[start + i]) * s[start + i];
            b += double(pattern[i]) * pattern[i];
        }
        if (a > 0 && b > 0) best = std::max(best, dot / std::sqrt(a * b));
    }
    return best;
}

// A 16-bit mono PCM wave file; `declared` (when not 0) is what its data
// chunk claims to hold instead of the samples' size.
void save_wave(const std::wstring& path, const std::vector<int16_t>& s, uint32_t declared = 0) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t data = declared ? declared : static_cast<uint32_t>(s.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (int16_t v : s) put(static_cast<uint16_t>(v), 2);
    write_bytes(path, out);
}

class tickson : public ::testing::Test {
protected:
    tickson() : fake_(fakeaudio::description::standard()) {
        fake_.set_master(fake_.device(L"Speakers"), 0.5f);
    }
    // Only this plug-in (and the probe) in the program folder.
    void SetUp() override {
        CreateDirectoryW(folder_.file(L"plugin").c_str(), nullptr);
        ASSERT_TRUE(
            folder_.copy_in(build_bin_folder() + L"\\plugin\\tickson.dll", L"plugin\\tickson.dll"));
    }
    void start(const std::wstring& tickson_ini) {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll", {L"MenuAction=end"}));
        folder_.write_ini(L"tickson.ini", tickson_ini);
        folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\nMixer=Speakers\r\n" +
                                           plugin_section({L"tickson.dll", L"probe.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, probe_index));
    }
    // PulseAudio sees a stream go a moment after the program closed it.
    bool released() {
        return wait_until([&] { return playback_streams(scratch_) == 0; }, 2s, 100ms);
    }
    void post(UINT message, WPARAM wparam) { PostMessageW(zuvo_->window(), message, wparam, 0); }
    void settle() { probe_sync(*zuvo_, folder_, probe_index); }

    fakeaudio::installed_fake fake_;
    program_folder folder_;
    temp_folder scratch_{L"tks"};
    std::unique_ptr<zuvo_process> zuvo_;
};

TEST_F(tickson, burst_of_changes_clicks_once_and_gives_the_device_back_when_idle) {
    start(L"[CtrlSound]\r\nResourceKeepTimer=1500\r\n");
    EXPECT_EQ(playback_streams(scratch_), 0) << "a stream before the first click";
    recording monitor(scratch_);
    ASSERT_TRUE(monitor.started()) << "parec recorded nothing";
    const float before = fake_.master(fake_.device(L"Speakers"));
    for (int i = 0; i < 5; ++i) zuvo_->post_command(volume_up);
    settle();
    std::this_thread::sleep_for(400ms);
    EXPECT_GT(fake_.master(fake_.device(L"Speakers")), before + 0.04f) << "no volume change";
    EXPECT_GE(playback_streams(scratch_), 1) << "the click buffer is held for a while";
    const size_t unchanged_from = monitor.samples();
    // Refreshes without the changed flag, as the host also sends them.
    for (int i = 0; i < 5; ++i) zuvo_->post_command(0x0501);
    settle();
    std::this_thread::sleep_for(400ms);
    const std::vector<int16_t> heard = monitor.stop();
    save_wave(test_output_folder() + L"\\tickson_click.wav", heard);

    const auto onsets = sound_onsets(heard, 300);
    ASSERT_EQ(onsets.size(), 1u) << "clicks heard";
    EXPECT_LT(onsets[0], unchanged_from);
    const auto click = wave_samples(build_bin_folder() + L"\\resource\\tickson\\pi.wav");
    ASSERT_GT(click.size(), rate / 100);
    EXPECT_GT(best_match(heard, onsets[0], click), 0.9) << "what played is not the click";
    // ResourceKeepTimer after the last click, device and stream are given back.
    EXPECT_TRUE(released());
}

// The working set of a process, in KB.
long working_set_kb(const process& running) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(running.handle(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.WorkingSetSize / 1024);
}

// A damaged click file declares 256 MB of sound and holds 1 KB: the click
// plays what it holds, and costs no more memory than that.
TEST_F(tickson, a_file_declaring_far_more_than_it_holds_plays_what_it_has) {
    std::vector<int16_t> square(512);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 25) % 2 ? 20000 : -20000;
    save_wave(folder_.file(L"resource\\tickson\\damaged.wav"), square, 0x0FFFF000u);
    start(L"[CtrlSound]\r\nwavname=damaged.wav\r\nResourceKeepTimer=4000\r\n");
    recording monitor(scratch_);
    ASSERT_TRUE(monitor.started()) << "parec recorded nothing";
    // The first click opens the sound device and gives it back after the
    // keep time; the second is measured from there.
    zuvo_->post_command(volume_up);
    settle();
    ASSERT_TRUE(wait_until([&] { return playback_streams(scratch_) == 0; }, 10s, 200ms));
    const long before = working_set_kb(zuvo_->proc());
    ASSERT_GT(before, 0);
    const size_t from = monitor.samples();
    zuvo_->post_command(volume_up);
    settle();
    const long holding = working_set_kb(zuvo_->proc());
    // Opening the sound device again costs up to about 2 MB under Wine by
    // itself; the declared size would cost tens of megabytes.
    EXPECT_LT(holding - before, 4096) << before << " KB before, " << holding << " KB holding it";
    EXPECT_TRUE(wait_until(
        [&] {
            const auto heard = monitor.peek();
            for (size_t onset : sound_onsets(heard, 300))
                if (onset + rate / 50 >= from) return true;
            return false;
        },
        3s))
        << "the click did not play";
}

TEST_F(tickson, background_loops_stops_on_suspend_resumes_and_turns_off) {
    start(L"[BgSound]\r\nenable=1\r\n");
    recording monitor(scratch_);
    ASSERT_TRUE(monitor.started()) << "parec recorded nothing";
    // It began before the recording did and the file lasts 2 s: still
    // sounding 2.5 s into the recording, it looped.
    std::this_thread::sleep_for(2600ms);
    const size_t looped_until = monitor.samples();
    post(WM_POWERBROADCAST, PBT_APMSUSPEND);
    settle();
    EXPECT_TRUE(released()) << "suspend keeps the device";
    const size_t suspended_from = monitor.samples();
    std::this_thread::sleep_for(400ms);
    const size_t suspended_until = monitor.samples();
    post(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);
    settle();
    std::this_thread::sleep_for(300ms);
    const size_t resumed_from = monitor.samples();
    std::this_thread::sleep_for(400ms);
    const size_t resumed_until = monitor.samples();
    // The menu item "play the background sound" sends this command.
    zuvo_->post_command(probe_command(tickson_index, 1));
    settle();
    EXPECT_TRUE(released()) << "turned off, the device is kept";
    const size_t off_from = monitor.samples();
    std::this_thread::sleep_for(400ms);
    const std::vector<int16_t> heard = monitor.stop();
    save_wave(test_output_folder() + L"\\tickson_background.wav", heard);

    ASSERT_GT(looped_until, 2 * rate + rate / 2);
    // A loaded machine may drop a few milliseconds now and then; a sound
    // that ended would leave everything after its 2 s quiet.
    size_t quiet_windows = 0, windows = 0;
    for (size_t at = 0; at + window <= looped_until - rate / 10; at += window, ++windows)
        if (rms(heard, at, at + window) < 100) ++quiet_windows;
    EXPECT_LT(quiet_windows * 20, windows) << "gaps in the loop";
    EXPECT_GT(rms(heard, 2 * rate, looped_until - rate / 10), 300) << "not looped";
    // The recorder lags a little behind the marks; 100 ms margins.
    EXPECT_LT(rms(heard, suspended_from + rate / 10, suspended_until), 5)
        << "plays while suspended";
    EXPECT_GT(rms(heard, resumed_from, resumed_until), 300) << "silent after resume";
    EXPECT_LT(rms(heard, off_from + rate / 10, heard.size()), 5) << "plays after turned off";
    EXPECT_EQ(zuvo_->exit(), 0u);
}

TEST_F(tickson, menu_shows_the_settings_and_its_toggles_are_not_saved) {
    const std::wstring ini = L"[Global]\r\nEnableMenu=1\r\n[CtrlSound]\r\nenable=1\r\n"
                             L"[BgSound]\r\nenable=0\r\n";
    start(ini);
    auto open_menu = [&] {
        const size_t before = probe_records(folder_, L"action").size();
        zuvo_->post_command(popup_command);
        EXPECT_TRUE(wait_for_probe_records(folder_, L"action", before + 1));
        settle();
    };
    open_menu();
    auto items = last_probe_popup(folder_);
    auto ours = std::find_if(items.begin(), items.end(),
                             [](const probe_menu_item& i) { return i.id == 40001; });
    ASSERT_NE(ours, items.end());
    EXPECT_EQ(ours->text, L"TickSon");
    EXPECT_TRUE(ours->has_submenu);
    ASSERT_NE(ours + 1, items.end());
    EXPECT_TRUE((ours + 1)->type & MFT_SEPARATOR);
    const int parent = ours->position;
    auto sub = last_probe_submenu(folder_, parent);
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub[0].id, 0x0600u);
    EXPECT_EQ(sub[0].state & MFS_CHECKED, MFS_CHECKED);
    EXPECT_EQ(sub[1].id, 0x10600u);
    EXPECT_EQ(sub[1].state & MFS_CHECKED, 0u);

    // Both toggles, then the menu shows them turned over...
    zuvo_->post_command(probe_command(tickson_index, 0));
    zuvo_->post_command(probe_command(tickson_index, 1));
    settle();
    open_menu();
    sub = last_probe_submenu(folder_, parent);
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub[0].state & MFS_CHECKED, 0u);
    EXPECT_EQ(sub[1].state & MFS_CHECKED, MFS_CHECKED);
    // ...but the file keeps what it said, and so does the next run.
    EXPECT_EQ(zuvo_->exit(), 0u);
    const auto saved = parse_ini(read_text(folder_.file(L"tickson.ini")));
    EXPECT_EQ(ini_value(saved, L"CtrlSound", L"enable"), L"1");
    EXPECT_EQ(ini_value(saved, L"BgSound", L"enable"), L"0");

    // Without EnableMenu nothing of ours is in the menu.
    folder_.write_ini(L"tickson.ini", L"[Global]\r\nEnableMenu=0\r\n");
    zuvo_ = std::make_unique<zuvo_process>(folder_);
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, probe_index));
    open_menu();
    items = last_probe_popup(folder_);
    ASSERT_FALSE(items.empty());
    for (const auto& item : items) EXPECT_NE(item.text, L"TickSon");
    for (const auto& item : last_probe_submenu(folder_))
        EXPECT_NE(item.id & 0xFFFF, 0x0600u) << item.text;
}

TEST_F(tickson, configuration_lists_the_sounds_and_saves_only_on_ok) {
    constexpr int plugin_list = 1146, plugin_settings = 1161;
    constexpr int click_box = 1001, click_file = 1004, bg_box = 1005, bg_file = 1006,
                  menu_box = 1007;
    ASSERT_TRUE(folder_.copy_in(folder_.file(L"resource\\tickson\\pi.wav"),
                                L"resource\\tickson\\extra.wav"));
    const std::wstring ini = L"[Global]\r\nIgnoreError=0\r\n[CtrlSound]\r\nwavname=mine.wav\r\n"
                             L"ResourceKeepTimer=777\r\n";
    folder_.write_ini(L"tickson.ini", ini);
    folder_.write_ini(L"zuvo.ini", plugin_section({L"tickson.dll"}));
    const auto before = read_bytes(folder_.file(L"tickson.ini"));
    setup_process editor(folder_);
    ASSERT_TRUE(editor.frame());
    HWND page = editor.show(setup_page::plugins);
    ASSERT_TRUE(page);
    ASSERT_EQ(list_view_count(page, plugin_list), 1);
    press_key(page, plugin_list, VK_HOME);
    ASSERT_TRUE(enabled(page, plugin_settings));
    // The version block as the editor shows it.
    const std::wstring info = text_of(page, 1144);
    EXPECT_NE(info.find(L"TickSon Quellbar-Plugin"), std::wstring::npos) << info;
    EXPECT_NE(info.find(L"4.1.0"), std::wstring::npos) << info;
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok);
        click_later(page, plugin_settings);
        HWND dialog = editor.wait_for_dialog();
        ASSERT_TRUE(dialog);
        const std::vector<std::wstring> sounds{L"extra.wav", L"pi.wav", L"snoise.wav"};
        EXPECT_EQ(combo_items(dialog, click_file), sounds);
        EXPECT_EQ(combo_items(dialog, bg_file), sounds);
        EXPECT_EQ(text_of(dialog, click_file), L"mine.wav");
        EXPECT_EQ(text_of(dialog, bg_file), L"snoise.wav");
        EXPECT_TRUE(checked(dialog, click_box));
        EXPECT_FALSE(checked(dialog, bg_box));
        EXPECT_FALSE(checked(dialog, menu_box));
        click(dialog, bg_box);
        click(dialog, menu_box);
        set_text(dialog, click_file, L"extra.wav");
        click_later(dialog, ok ? IDOK : IDCANCEL);
        ASSERT_TRUE(wait_for_window_gone(dialog));
        if (!ok) {
            EXPECT_EQ(read_bytes(folder_.file(L"tickson.ini")), before) << "Cancel wrote";
        }
    }
    EXPECT_EQ(editor.cancel(), 0u);
    // Every key written (the profile functions keep the file's own order).
    auto saved = parse_ini(read_text(folder_.file(L"tickson.ini")));
    auto expected = parse_ini(
        L"[Global]\nEnableMenu=1\nIgnoreError=0\n[CtrlSound]\nenable=1\nwavname=extra.wav\n"
        L"ResourceKeepTimer=777\n[BgSound]\nenable=1\nwavname=snoise.wav\n");
    auto by_name = [](const ini_entry& a, const ini_entry& b) {
        return std::tie(a.section, a.key) < std::tie(b.section, b.key);
    };
    std::sort(saved.begin(), saved.end(), by_name);
    std::sort(expected.begin(), expected.end(), by_name);
    EXPECT_EQ(saved, expected);
}

} // namespace
