// The fake audio system as the prefix's device enumerator: a separate process
// that creates CLSID_MMDeviceEnumerator sees the fake devices and the changes
// this test makes to them.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct run_result {
    DWORD exit_code = 0xffffffff;
    std::wstring output;
};

// Starts the probe with `arguments`, reads its standard output to the end.
class probe_run {
public:
    explicit probe_run(const std::wstring& arguments) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE write_end = nullptr;
        if (!CreatePipe(&read_, &write_end, &inherit, 0)) return;
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write_end;
        startup.hStdError = write_end;
        std::wstring command =
            L"\"" + test_support::exe_folder() + L"\\fakeaudio_probe.exe\" " + arguments;
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info_)) {
            CloseHandle(info_.hThread);
            info_.hThread = nullptr;
        }
        CloseHandle(write_end);
    }
    probe_run(const probe_run&) = delete;
    probe_run& operator=(const probe_run&) = delete;
    ~probe_run() {
        if (info_.hProcess) {
            TerminateProcess(info_.hProcess, 9);
            CloseHandle(info_.hProcess);
        }
        if (read_) CloseHandle(read_);
    }

    run_result finish() {
        run_result result;
        if (!info_.hProcess) return result;
        // Read only what is there once the probe has ended: under Wine the
        // console host may keep the pipe's write end open past that.
        WaitForSingleObject(info_.hProcess, 20000);
        GetExitCodeProcess(info_.hProcess, &result.exit_code);
        std::string bytes;
        char buffer[512];
        DWORD available = 0, got = 0;
        while (PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(read_, buffer, std::min<DWORD>(available, sizeof(buffer)), &got, nullptr) &&
               got > 0)
            bytes.append(buffer, got);
        const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
        result.output.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                            result.output.data(), n);
        return result;
    }

private:
    HANDLE read_ = nullptr;
    PROCESS_INFORMATION info_{};
};

run_result probe(const std::wstring& arguments) {
    return probe_run(arguments).finish();
}

bool has_line(const std::wstring& output, const std::wstring& line) {
    return output.find(line + L"\r\n") != std::wstring::npos ||
           output.find(line + L"\n") != std::wstring::npos;
}

fakeaudio::description devices() {
    fakeaudio::description d = fakeaudio::description::standard();
    d.render(L"Fake Only", false, 0.2f, 2);
    return d;
}

TEST(fakeaudio_server, another_process_sees_the_fake_devices_and_their_changes) {
    fakeaudio::installed_fake fake(devices());
    ASSERT_TRUE(fake.installed());
    auto listed = probe(L"list");
    EXPECT_EQ(listed.exit_code, 0u) << listed.output;
    EXPECT_TRUE(has_line(listed.output, L"render|Speakers|50|0")) << listed.output;
    EXPECT_TRUE(has_line(listed.output, L"capture|Microphone|75|0")) << listed.output;
    EXPECT_TRUE(has_line(listed.output, L"render|Fake Only|20|0")) << listed.output;

    const int speakers = fake.device(L"Speakers");
    fake.set_master(speakers, 0.3f);
    fake.set_mute(speakers, true);
    fake.remove(fake.device(L"Fake Only"));
    listed = probe(L"list");
    EXPECT_TRUE(has_line(listed.output, L"render|Speakers|30|1")) << listed.output;
    EXPECT_EQ(listed.output.find(L"Fake Only"), std::wstring::npos) << listed.output;
    fake.restore(fake.device(L"Fake Only"));
    listed = probe(L"list");
    EXPECT_TRUE(has_line(listed.output, L"render|Fake Only|20|0")) << listed.output;
}

TEST(fakeaudio_server, change_made_here_is_notified_in_the_other_process) {
    fakeaudio::installed_fake fake(devices());
    ASSERT_TRUE(fake.installed());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"Local\\quellbar_fakeaudio_probe_ready");
    ASSERT_TRUE(ready);
    probe_run watcher(L"watch Local\\quellbar_fakeaudio_probe_ready");
    ASSERT_EQ(WaitForSingleObject(ready, 15000), WAIT_OBJECT_0);
    CloseHandle(ready);
    fake.set_master(fake.device(L"Speakers"), 0.8f);
    const auto result = watcher.finish();
    EXPECT_EQ(result.exit_code, 0u) << result.output;
    EXPECT_TRUE(has_line(result.output, L"opened Speakers 50")) << result.output;
    EXPECT_TRUE(has_line(result.output, L"notified 80 0")) << result.output;
}

TEST(fakeaudio_server, inactive_fake_leaves_everything_to_wine) {
    fakeaudio::installed_fake fake(devices());
    ASSERT_TRUE(fake.installed());
    fake.set_active(false);
    const auto listed = probe(L"list");
    EXPECT_EQ(listed.exit_code, 0u) << listed.output;
    EXPECT_EQ(listed.output.find(L"Fake Only"), std::wstring::npos) << listed.output;
    EXPECT_EQ(listed.output.find(L"Microphone"), std::wstring::npos) << listed.output;
}

TEST(fakeaudio_server, sound_still_plays_through_wines_own_device) {
    fakeaudio::installed_fake fake(devices());
    ASSERT_TRUE(fake.installed());
    const auto played = probe(L"play");
    EXPECT_EQ(played.exit_code, 0u) << played.output;
    EXPECT_TRUE(has_line(played.output, L"played")) << played.output;
}

TEST(fakeaudio_server, registration_is_undone_afterwards) {
    { fakeaudio::installed_fake fake(devices()); }
    const auto listed = probe(L"list");
    EXPECT_EQ(listed.exit_code, 0u) << listed.output;
    EXPECT_EQ(listed.output.find(L"Fake Only"), std::wstring::npos) << listed.output;
}

} // namespace
