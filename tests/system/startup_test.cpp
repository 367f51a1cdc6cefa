// The main program as a whole: single instance, its folder, the hook warning,
// ending, delayed commands, damaged settings, nothing waking an idle program.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM exit_command = 0x0504;

size_t count_lines(const std::wstring& path) {
    std::wstring text = read_text(path);
    size_t lines = 0;
    for (wchar_t c : text) lines += c == L'\n';
    return lines;
}

TEST(startup, makes_its_own_folder_current) {
    program_folder folder;
    // Read only if the program looks for its settings in its own folder,
    // not in the directory it was started from.
    folder.write_ini(L"zuvo.ini", L"[Plugin]\r\nNum=1\r\n00=probe.dll\r\n");
    temp_folder elsewhere;
    zuvo_process zuvo(folder, {.close_hook_warning = true,
                               .wait_for_loop = false,
                               .current_directory = elsewhere.path()});
    ASSERT_TRUE(zuvo.window());
    auto box = wait_for_message_box(L"Quellbar", zuvo.proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to load plugin probe.dll");
    close_message_box(box->window);
    EXPECT_TRUE(zuvo.sync());
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(startup, without_hook_library_warns_once_and_runs_on) {
    program_folder folder({.hook_library = false});
    zuvo_process zuvo(folder, {.close_hook_warning = false, .wait_for_loop = false});
    ASSERT_TRUE(zuvo.window());
    auto box = wait_for_message_box(L"Quellbar", zuvo.proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to load zuvohook.dll");
    ASSERT_TRUE(close_message_box(box->window));
    EXPECT_TRUE(zuvo.sync());
    EXPECT_FALSE(has_message_box(zuvo.proc().id()));
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(zuvo.exit(), 0u);
}

// The libraries a program file imports by name, from its import table.
std::vector<std::string> imported_libraries(const std::wstring& path) {
    std::vector<std::string> names;
    // Mapped as an image, but never run: no library of its own is loaded.
    HMODULE mapped = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!mapped) return names;
    const auto* base =
        reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(mapped) & ~uintptr_t{3});
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (table.VirtualAddress != 0)
        for (auto* entry =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + table.VirtualAddress);
             entry->Name != 0; ++entry)
            names.emplace_back(reinterpret_cast<const char*>(base + entry->Name));
    FreeLibrary(mapped);
    return names;
}

// What the programs and libraries import when they start is known DLLs only:
// the loader looks for anything else in the program's folder first. Common
// controls come through the manifest's side-by-side assembly.
TEST(startup, programs_and_libraries_import_known_dlls_only) {
    const std::vector<std::string> known = {
        "ADVAPI32.dll", "COMCTL32.dll", "comdlg32.dll", "GDI32.dll",    "gdiplus.dll",
        "KERNEL32.dll", "msvcrt.dll",   "ole32.dll",    "OLEAUT32.dll", "SHCORE.dll",
        "SHELL32.dll",  "SHLWAPI.dll",  "USER32.dll"};
    const std::wstring bin = build_bin_folder();
    std::vector<std::wstring> files = {L"zuvo.exe", L"zuvoset.exe", L"zuvohook.dll"};
    for (const wchar_t* plugin : {L"lockvol", L"tickson", L"zuvogrid", L"seethru", L"barroll"})
        if (file_exists(bin + L"\\plugin\\" + plugin + L".dll"))
            files.push_back(std::wstring(L"plugin\\") + plugin + L".dll");
    for (const std::wstring& file : files) {
        SCOPED_TRACE(file);
        const auto imports = imported_libraries(bin + L"\\" + file);
        EXPECT_FALSE(imports.empty());
        for (const std::string& name : imports) {
            EXPECT_TRUE(std::any_of(known.begin(), known.end(), [&](const std::string& k) {
                return lstrcmpiA(k.c_str(), name.c_str()) == 0;
            })) << name;
        }
    }
}

// Libraries of the system that are no known DLLs come from System32,
// whatever lies beside the program (a folder unpacked into Downloads) or the
// plug-in: the sound-feedback plug-in's. (Wine's own libraries load
// version.dll, from the program's folder, before the program starts: that one
// only the import tables above can tell.)
TEST(startup, system_libraries_come_from_system32_not_from_beside_the_program) {
    fakeaudio::installed_fake fake;
    program_folder folder({.plugins = true});
    const wchar_t* const planted[] = {L"dsound.dll", L"winmm.dll"};
    for (const wchar_t* name : planted) {
        // Any library of ours will do: what matters is where it is taken from.
        ASSERT_TRUE(folder.copy_in(L"zuvohook.dll", name));
        ASSERT_TRUE(folder.copy_in(L"zuvohook.dll", std::wstring(L"plugin\\") + name));
    }
    ASSERT_TRUE(install_probe(folder, L"probe.dll"));
    folder.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                      plugin_section({L"probe.dll", L"tickson.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    zuvo.post_command(0x0580); // a click
    wchar_t system[MAX_PATH] = L"";
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    for (const wchar_t* name : planted) {
        SCOPED_TRACE(name);
        std::wstring path;
        ASSERT_TRUE(wait_until(
            [&] {
                for (const std::wstring& module : module_paths(zuvo.proc().id()))
                    if (lstrcmpiW(module.c_str() + module.find_last_of(L'\\') + 1, name) == 0)
                        path = module;
                return !path.empty();
            },
            10s));
        EXPECT_EQ(lstrcmpiW(path.c_str(), (std::wstring(system) + L"\\" + name).c_str()), 0)
            << path;
    }
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(startup, second_start_hands_over_and_exits_100) {
    program_folder folder;
    zuvo_process first(folder);
    ASSERT_TRUE(first.window());
    process second = process::start(L"\"" + folder.exe() + L"\"", folder.path());
    ASSERT_TRUE(second);
    EXPECT_EQ(second.wait(10s), 100u);
    EXPECT_TRUE(first.sync());
    EXPECT_TRUE(first.proc().running());
    EXPECT_EQ(first.exit(), 0u);
}

TEST(startup, exit_command_and_close_end_with_zero) {
    program_folder folder;
    {
        zuvo_process zuvo(folder);
        ASSERT_TRUE(zuvo.window());
        EXPECT_EQ(zuvo.exit(), 0u);
    }
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    PostMessageW(zuvo.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(zuvo.proc().wait(10s), 0u);
}

TEST(startup, delayed_command_runs_once_per_expiry) {
    program_folder folder;
    const std::wstring log = folder.file(L"launched.txt");
    folder.write_ini(L"zuvo.ini", L"[Launcher00]\r\nCaption=log\r\nCmdLine=cmd.exe /c echo x>>\"" +
                                      log + L"\"\r\n");
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    // The same identifier twice restarts one timer: one launch, not two.
    PostMessageW(zuvo.window(), 0x0801, 0x0586, 300);
    PostMessageW(zuvo.window(), 0x0801, 0x0586, 300);
    ASSERT_TRUE(wait_until([&] { return count_lines(log) >= 1; }, 10s));
    Sleep(700);
    EXPECT_EQ(count_lines(log), 1u);
    PostMessageW(zuvo.window(), 0x0801, 0x0586, 50);
    ASSERT_TRUE(wait_until([&] { return count_lines(log) >= 2; }, 10s));
    Sleep(500);
    EXPECT_EQ(count_lines(log), 2u);
}

// Times (ms since the first) at which the probe saw the trimming timer fire.
std::vector<uint64_t> trims(const program_folder& folder) {
    std::vector<uint64_t> ticks;
    for (const auto& record : probe_records(folder, L"msg"))
        if (record.number(0) == WM_TIMER && record.number(1) == 0x050A)
            ticks.push_back(record.tick);
    return ticks;
}

// Also: idle, the program wakes for nothing, nor do the session events that
// three programs' controls listen to. The last message it gets is the timer
// that releases what the mixer and the tips held.
TEST(startup, swap_mode_trims_six_seconds_after_the_last_activity) {
    struct idle_case {
        const char* name;
        bool swap;
        bool programs; // three programs' controls over the fake audio system
    };
    constexpr uint64_t change_message = 977; // a watched volume changed
    for (const idle_case& row : {idle_case{"swap", true, false}, idle_case{"no_swap", false, false},
                                 idle_case{"three_programs", false, true}}) {
        SCOPED_TRACE(row.name);
        std::optional<fakeaudio::installed_fake> fake;
        int player = -1;
        std::wstring controls;
        if (row.programs) {
            fake.emplace();
            const int speakers = fake->device(L"Speakers");
            player = fake->add_session(speakers, 100, L"C:\\Apps\\player.exe", L"Player", 0.5f);
            fake->add_session(speakers, 100, L"C:\\Apps\\player.exe", L"Player", 0.5f);
            fake->add_session(speakers, 200, L"C:\\Apps\\browser.exe", L"", 0.7f);
            // voice.exe plays nothing: its control waits for a session to come.
            controls = L"[Control00]\r\nCaption=#\r\nApplication=player.exe\r\n"
                       L"[Control01]\r\nCaption=#\r\nApplication=browser.exe\r\n"
                       L"[Control02]\r\nCaption=#\r\nApplication=voice.exe\r\n";
        }
        program_folder folder;
        ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"Log=0x111,0x113,0x3D1"}));
        folder.write_ini(L"zuvo.ini", std::wstring(L"[Basic]\r\nSwapMode=") +
                                          (row.swap ? L"1" : L"0") + L"\r\n" + controls +
                                          plugin_section({L"probe.dll"}));
        zuvo_process zuvo(folder);
        ASSERT_TRUE(zuvo.window());
        // Each program's control opened and watching, back at the first.
        if (row.programs)
            for (int i = 0; i < 3; ++i) zuvo.post_command(0x0583);
        zuvo.post_command(0x00020501); // a refresh that shows the tips
        ASSERT_TRUE(probe_sync(zuvo, folder, 0));
        const ULONGLONG last_activity = GetTickCount64();
        if (row.swap) {
            ASSERT_TRUE(wait_until([&] { return !trims(folder).empty(); }, 10s));
            EXPECT_GE(GetTickCount64() - last_activity, 5500u);
        } else {
            Sleep(6800);
            EXPECT_TRUE(trims(folder).empty());
            const std::vector<probe_record> log = probe_records(folder, L"msg");
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.back().number(0), static_cast<uint64_t>(WM_TIMER));
            EXPECT_EQ(log.back().number(1), 0x0502u);
            EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                    [&](const probe_record& r) {
                                        return r.tick >= last_activity && r.number(0) == WM_TIMER &&
                                               r.number(1) == 0x0502;
                                    }),
                      1)
                << "the idle release came back";
        }
        if (fake) {
            // The quiet was not deafness: another program's change is heard.
            auto changes = [&] {
                const std::vector<probe_record> log = probe_records(folder, L"msg");
                return std::count_if(log.begin(), log.end(), [](const probe_record& r) {
                    return r.number(0) == change_message;
                });
            };
            const auto before = changes();
            fake->set_session_volume(player, 0.3f);
            EXPECT_TRUE(wait_until([&] { return changes() > before; }, 5s));
        }
        EXPECT_EQ(zuvo.exit(), 0u);
    }
}

std::string random_bytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(generator() & 0xFF);
    return bytes;
}

struct damaged_settings {
    const char* name;
    std::string content;
    // One volume step up from 43 % on the default device: 50 with the
    // default step of 10 fitted to its multiples; 0 where the file sets it.
    int after_step_up = 50;
};

class damaged : public ::testing::TestWithParam<damaged_settings> {};

TEST_P(damaged, settings_start_with_defaults_and_never_crash) {
    fakeaudio::installed_fake fake;
    const int speakers = fake.device(L"Speakers");
    fake.set_master(speakers, 0.43f);
    program_folder folder;
    write_ascii(folder.file(L"zuvo.ini"), GetParam().content);
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    EXPECT_TRUE(zuvo.sync());
    EXPECT_FALSE(has_message_box(zuvo.proc().id()));
    // The defaults are in effect: the "#" control on the default device,
    // stepped by VolStepSize and VolStepFit.
    if (GetParam().after_step_up) {
        zuvo.post_command(0x0580);
        EXPECT_TRUE(wait_until(
            [&] { return fakeaudio::percent(fake.master(speakers)) == GetParam().after_step_up; },
            5s))
            << fake.master(speakers);
    }
    // Work it a little: steps, mute, next control, a refresh with tips.
    for (WPARAM command : {0x0580, 0x0581, 0x0582, 0x0583, 0x00020501}) zuvo.post_command(command);
    EXPECT_TRUE(zuvo.sync());
    EXPECT_EQ(zuvo.exit(), 0u);
}

std::string many_sections() {
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "[Section" + std::to_string(i) + "]\r\nKey=" + std::to_string(i) + "\r\n";
    text += "[Basic]\r\nVolStepSize=5\r\n";
    return text;
}

std::string long_numbers() {
    const std::string n(40, '9');
    std::string text = "[Basic]\r\n";
    for (const char* key : {"VolStepSize", "TipsTimer", "TrayiconBaloonTimer", "VolStepFit"})
        text += std::string(key) + "=" + n + "\r\n";
    text += "[Tips]\r\nFontPointSz=-" + n + "\r\nEdgeSize=" + n + "\r\nLayerTransparentRate=" + n +
            "\r\nFontResolutionBase=" + n + "\r\n[Hotkey]\r\nRegistMax=" + n +
            "\r\n[Control00]\r\nCaption=x\r\nSource=" + n + "\r\nBalance=-" + n +
            "\r\n[Plugin]\r\nNum=" + n + "\r\n";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    files, damaged,
    ::testing::Values(damaged_settings{"random_bytes", random_bytes(64 * 1024, 7)},
                      damaged_settings{"random_utf16", "\xFF\xFE" + random_bytes(64 * 1024, 11)},
                      damaged_settings{
                          "megabyte_line",
                          "[Basic]\r\nTipsFormat=" + std::string(1 << 20, 'a') +
                              "\r\n[Control00]\r\nCaption=" + std::string(1 << 20, 'b') + "\r\n"},
                      // Its [Basic] comes after them all, and is read.
                      damaged_settings{"ten_thousand_sections", many_sections(), 45},
                      damaged_settings{"forty_digit_numbers", long_numbers(), 0}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
