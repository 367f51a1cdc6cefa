// The Windows Installer package as a user meets it: installed with msiexec
// (no questions, per user), the program it starts, the Start-menu entries,
// the Run value it offers, and what an uninstall leaves. The package is the
// one the build made in <build>/package from <build>/bin.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM exit_command = 0x0504;

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring known_folder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}

// Every file below `folder`, as paths relative to it.
void list_files(const std::wstring& folder, const std::wstring& prefix,
                std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            list_files(folder + L"\\" + name, prefix + name + L"\\", files);
        else
            files.push_back(prefix + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool folder_exists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class package : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring bin = build_bin_folder();
        build_ = bin.substr(0, bin.find_last_of(L'\\'));
        const wchar_t* arch = sizeof(void*) == 8 ? L"x64" : L"x86";
        WIN32_FIND_DATAW found{};
        HANDLE search =
            FindFirstFileW((build_ + L"\\package\\quellbar-*-" + arch + L".msi").c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE)
            << "the build made no package in " << narrow(build_) << "\\package";
        msi_ = build_ + L"\\package\\" + found.cFileName;
        FindClose(search);
        install_dir_ = known_folder(FOLDERID_LocalAppData) + L"\\Programs\\Quellbar";
        menu_dir_ = known_folder(FOLDERID_Programs) + L"\\Quellbar";
        ASSERT_TRUE(fake_.installed());
        ASSERT_TRUE(process_ids(L"zuvo.exe").empty()) << "a zuvo.exe is running already";
        // What an earlier, interrupted run may have left.
        msiexec(L"/x", L"REMOVEUSERFILES=1");
        remove_tree(install_dir_);
        set_quellbar_run_value(std::nullopt);
    }

    void TearDown() override {
        for (DWORD id : process_ids(L"zuvo.exe"))
            if (process running = process::open(id)) running.terminate();
        if (!other_msi_.empty()) {
            msiexec(L"/x", L"REMOVEUSERFILES=1", other_msi_);
            DeleteFileW(other_msi_.c_str());
        }
        msiexec(L"/x", L"REMOVEUSERFILES=1");
        remove_tree(install_dir_);
    }

    // msiexec's exit code (nothing when it hangs).
    std::optional<DWORD> msiexec(const std::wstring& action, const std::wstring& properties,
                                 const std::wstring& which = L"") {
        process installer =
            process::start(L"msiexec.exe " + action + L" \"" + (which.empty() ? msi_ : which) +
                               L"\" /qn " + properties,
                           build_);
        if (!installer) return std::nullopt;
        return installer.wait(60s);
    }

    std::wstring installed(const std::wstring& name) const { return install_dir_ + L"\\" + name; }

    fakeaudio::installed_fake fake_;
    std::wstring build_, msi_, install_dir_, menu_dir_;
    std::wstring other_msi_; // a second package the test made, removed at the end
};

// Runs `query` on an installer database: the first row's fields, each
// followed by "|", or "failed".
std::wstring msi_query(MSIHANDLE database, const std::wstring& query) {
    std::wstring row;
    MSIHANDLE view = 0, record = 0;
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) != ERROR_SUCCESS) return L"failed";
    if (MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        for (UINT field = 1; field <= MsiRecordGetFieldCount(record); ++field) {
            wchar_t text[256] = L"";
            DWORD size = 256;
            MsiRecordGetStringW(record, field, text, &size);
            row += std::wstring(text) + L"|";
        }
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    return row;
}

std::wstring new_guid() {
    GUID guid{};
    wchar_t text[40] = L"";
    return SUCCEEDED(CoCreateGuid(&guid)) && StringFromGUID2(guid, text, 40) ? text : L"";
}

// One Quellbar per user: the package replaces an installed one of any version
// up to its own, this one included (the other width, another build).
TEST_F(package, replaces_an_installed_quellbar_of_the_same_version) {
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(msi_.c_str(), MSIDBOPEN_READONLY, &database), 0u);
    const auto property = [&](const wchar_t* name) {
        return msi_query(database, std::wstring(L"SELECT `Value` FROM `Property` WHERE "
                                                L"`Property` = '") +
                                       name + L"'");
    };
    const std::wstring product = property(L"ProductCode");
    // Attributes 0x100 and 0x200: the minimum and the maximum version included.
    EXPECT_EQ(msi_query(database, L"SELECT `UpgradeCode`, `VersionMin`, `VersionMax`, "
                                  L"`Attributes`, `ActionProperty` FROM `Upgrade`"),
              property(L"UpgradeCode") + L"0.0.0|" + property(L"ProductVersion") +
                  L"768|OLDERQUELLBAR|");
    MsiCloseHandle(database);

    ASSERT_EQ(msiexec(L"/i", L"STARTAFTERINSTALL=0"), 0u);
    ASSERT_EQ(MsiQueryProductStateW(product.substr(0, product.size() - 1).c_str()),
              INSTALLSTATE_DEFAULT);
    // Another build: a product and a package code of its own.
    other_msi_ = build_ + L"\\package\\another-build.msi";
    ASSERT_TRUE(CopyFileW(msi_.c_str(), other_msi_.c_str(), FALSE));
    ASSERT_EQ(MsiOpenDatabaseW(other_msi_.c_str(), MSIDBOPEN_TRANSACT, &database), 0u);
    EXPECT_NE(msi_query(database, L"UPDATE `Property` SET `Value` = '" + new_guid() +
                                      L"' WHERE `Property` = 'ProductCode'"),
              L"failed");
    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationW(database, nullptr, 1, &summary), 0u);
    EXPECT_EQ(MsiSummaryInfoSetPropertyW(summary, PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr,
                                         new_guid().c_str()),
              0u);
    EXPECT_EQ(MsiSummaryInfoPersist(summary), 0u);
    MsiCloseHandle(summary);
    EXPECT_EQ(MsiDatabaseCommit(database), 0u);
    MsiCloseHandle(database);
    ASSERT_EQ(msiexec(L"/i", L"STARTAFTERINSTALL=0", other_msi_), 0u);
    EXPECT_EQ(MsiQueryProductStateW(product.substr(0, product.size() - 1).c_str()),
              INSTALLSTATE_UNKNOWN)
        << "two Quellbars are installed";
    EXPECT_TRUE(file_exists(installed(L"zuvo.exe")));
}

TEST_F(package, installs_per_user_starts_zuvo_and_uninstall_keeps_the_settings) {
    ASSERT_EQ(msiexec(L"/i", L"STARTWITHWINDOWS=1"), 0u) << narrow(msi_);

    // The build's program folder, file for file.
    std::vector<std::wstring> shipped;
    list_files(build_bin_folder(), L"", shipped);
    ASSERT_GE(shipped.size(), 4u);
    for (const auto& file : shipped) {
        SCOPED_TRACE(narrow(file));
        if (file.find(L'\\') == std::wstring::npos && file.ends_with(L".ini")) {
            EXPECT_FALSE(file_exists(installed(file))) << "settings written into bin/ shipped";
            continue;
        }
        EXPECT_EQ(read_bytes(installed(file)), read_bytes(build_bin_folder() + L"\\" + file));
    }
    EXPECT_TRUE(file_exists(menu_dir_ + L"\\Quellbar.lnk"));
    EXPECT_TRUE(file_exists(menu_dir_ + L"\\Quellbar Setup.lnk"));
    const auto command = quellbar_run_value();
    ASSERT_TRUE(command) << "STARTWITHWINDOWS=1 wrote no Run value";
    EXPECT_EQ(lstrcmpiW(command->c_str(), (L"\"" + installed(L"zuvo.exe") + L"\"").c_str()), 0)
        << narrow(*command);

    // Started by the installer, from where it was installed.
    HWND window = wait_for_window(L"Quellbar_Class", 0, 15s);
    ASSERT_TRUE(window) << "the installer started no zuvo.exe";
    process started = process::open(window_process(window));
    ASSERT_TRUE(started);
    EXPECT_EQ(lstrcmpiW(image_path(started).c_str(), installed(L"zuvo.exe").c_str()), 0)
        << narrow(image_path(started));

    PostMessageW(window, WM_COMMAND, exit_command, 0);
    EXPECT_EQ(started.wait(10s), 0u);

    // As Windows does at logon: the Run value's command line as it stands.
    process from_run = process::start(*command, build_);
    ASSERT_TRUE(from_run) << narrow(*command);
    window = wait_for_window(L"Quellbar_Class", from_run.id());
    ASSERT_TRUE(window) << "zuvo.exe did not come up from the Run value";

    // Settings the programs write while installed; then the user quits and uninstalls.
    ASSERT_TRUE(write_utf16(installed(L"zuvo.ini"), L"[Basic]\r\nVolStepSize=15\r\n"));
    ASSERT_TRUE(write_utf16(installed(L"lockvol.ini"), L"[lockvol]\r\n"));
    const auto settings = read_bytes(installed(L"zuvo.ini"));
    PostMessageW(window, WM_COMMAND, exit_command, 0);
    EXPECT_EQ(from_run.wait(10s), 0u);
    ASSERT_EQ(msiexec(L"/x", L""), 0u);

    std::vector<std::wstring> left;
    list_files(install_dir_, L"", left);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::wstring>{L"lockvol.ini", L"zuvo.ini"}));
    EXPECT_EQ(read_bytes(installed(L"zuvo.ini")), settings);
    EXPECT_FALSE(folder_exists(menu_dir_));
    EXPECT_FALSE(quellbar_run_value().has_value()) << "the Run value outlived the program";
}

TEST_F(package, quiet_install_without_start_settings_removed_on_request_and_run_value_taken_over) {
    ASSERT_TRUE(CreateDirectoryW(install_dir_.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    // A settings file from an earlier installation is taken over as it is.
    ASSERT_TRUE(write_utf16(installed(L"zuvo.ini"), L"[Basic]\r\nVolStepSize=20\r\n"));
    const auto settings = read_bytes(installed(L"zuvo.ini"));
    ASSERT_EQ(msiexec(L"/i", L"STARTAFTERINSTALL=0"), 0u);
    EXPECT_TRUE(file_exists(installed(L"zuvo.exe")));
    EXPECT_EQ(read_bytes(installed(L"zuvo.ini")), settings);
    EXPECT_FALSE(quellbar_run_value().has_value())
        << "Run value written without STARTWITHWINDOWS=1";
    // The installer has ended; whatever it was going to start has started.
    EXPECT_FALSE(wait_for_window(L"Quellbar_Class", 0, 2s)) << "zuvo.exe was started";

    ASSERT_EQ(msiexec(L"/x", L"REMOVEUSERFILES=1"), 0u);
    EXPECT_FALSE(folder_exists(install_dir_)) << "the settings files were left";

    // A Quellbar that starts with Windows already keeps doing so, from here.
    const std::wstring old = L"\"C:\\Old Quellbar\\zuvo.exe\"";
    ASSERT_TRUE(set_quellbar_run_value(old));
    ASSERT_EQ(msiexec(L"/i", L"STARTAFTERINSTALL=0"), 0u);
    const auto command = quellbar_run_value();
    ASSERT_TRUE(command);
    EXPECT_EQ(lstrcmpiW(command->c_str(), (L"\"" + installed(L"zuvo.exe") + L"\"").c_str()), 0)
        << narrow(*command);
    ASSERT_EQ(msiexec(L"/x", L""), 0u);
    EXPECT_FALSE(quellbar_run_value().has_value());
}

} // namespace
