// The MXRCTL_ exports inside a running zuvo.exe, used the way a plug-in uses
// them, on the fake audio devices (Wine cannot set an endpoint volume).

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/system/mxrctl_inject.h"

#include <gtest/gtest.h>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

TEST(mxrctl_exports, work_inside_the_running_program_on_the_fake_devices) {
    fakeaudio::installed_fake fake;
    ASSERT_TRUE(fake.installed());
    const int speakers = fake.device(L"Speakers");

    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(mxrctl_inject_report), mxrctl_inject_report_name);
    ASSERT_TRUE(mapping);
    auto* report = static_cast<mxrctl_inject_report*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(mxrctl_inject_report)));
    ASSERT_TRUE(report);

    program_folder folder;
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    HMODULE dll = LoadLibraryW((exe_folder() + L"\\mxrctl_inject.dll").c_str());
    ASSERT_TRUE(dll);
    auto hook_proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(dll, "mxrctl_inject_hook")));
    ASSERT_TRUE(hook_proc);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, hook_proc, dll,
                                   GetWindowThreadProcessId(zuvo.window(), nullptr));
    ASSERT_TRUE(hook);
    PostMessageW(zuvo.window(), WM_NULL, 0, 0);
    ASSERT_TRUE(wait_until([&] { return report->stage >= 1; }, 15s)) << "the hook never ran";

    const std::wstring text = report->text;
    EXPECT_NE(text.find(L"api 2\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"select missing\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"mixer Speakers\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"master Speakers 1\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"set 1\nget 37\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"mute 1 1\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"line CD Audio 2\n"), std::wstring::npos) << text;
    // What the program set is what the "hardware" holds.
    EXPECT_FLOAT_EQ(fake.master(speakers), 0.370001f);
    EXPECT_TRUE(fake.mute(speakers));

    // A change from outside reaches the program's window thread as 977.
    fake.set_master(speakers, 0.6f);
    EXPECT_TRUE(wait_until([&] { return report->stage >= 3; }, 15s)) << report->text;
    EXPECT_NE(std::wstring(report->text).find(L"notified 60\nreleased\n"), std::wstring::npos)
        << report->text;

    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(zuvo.sync());
    EXPECT_EQ(zuvo.exit(), 0u);
    FreeLibrary(dll);
    UnmapViewOfFile(report);
    CloseHandle(mapping);
}

} // namespace
