// Registers the fake COM server in the Wine prefix for the life of a test.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"

#include <strsafe.h>

#include <stdexcept>

namespace fakeaudio {

namespace {

const wchar_t* const server_key =
    L"Software\\Classes\\CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}\\InprocServer32";
// The policy-configuration class: Wine has none, so it is ours alone while
// the fake is installed.
const wchar_t* const policy_key =
    L"Software\\Classes\\CLSID\\{870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}";
// The registry view of the test's own width: a 32-bit test installs the fake
// for the 32-bit programs it starts, which look in that view.
constexpr REGSAM own_view = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

std::wstring read_value(HKEY key, const wchar_t* name, bool& found) {
    wchar_t text[MAX_PATH * 2] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    found = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
    return found ? std::wstring(text) : std::wstring();
}

bool write_value(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

} // namespace

installed_fake::installed_fake(const description& devices, const std::wstring& server_dll) {
    const std::wstring dll =
        server_dll.empty() ? test_support::exe_folder() + L"\\fakeaudio_server.dll" : server_dll;
    if (!test_support::file_exists(dll)) throw std::runtime_error("fake audio: server DLL missing");

    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(shared_state), installed_state_name);
    if (!mapping_) throw std::runtime_error("fake audio: no shared memory");
    state_ = static_cast<shared_state*>(
        MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(shared_state)));
    if (!state_) throw std::runtime_error("fake audio: shared memory not mapped");
    *state_ = devices.state();
    StringCchCopyW(state_->mapping_name, name_chars, installed_state_name);
    for (auto& l : state_->listeners) l = 0;

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, server_key, 0, nullptr, 0,
                        KEY_READ | KEY_WRITE | own_view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    bool found_threading = false;
    old_server_ = read_value(key, nullptr, had_server_);
    old_threading_ = read_value(key, L"ThreadingModel", found_threading);
    installed_ = write_value(key, nullptr, dll) && write_value(key, L"ThreadingModel", L"Both");
    RegCloseKey(key);
    const std::wstring inproc = std::wstring(policy_key) + L"\\InprocServer32";
    if (installed_ &&
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, inproc.c_str(), 0, nullptr, 0, KEY_WRITE | own_view,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        write_value(key, nullptr, dll);
        write_value(key, L"ThreadingModel", L"Both");
        RegCloseKey(key);
    }
    state_->active = installed_ ? 1 : 0;
}

void installed_fake::set_active(bool active) {
    if (state_) state_->active = active && installed_ ? 1 : 0;
}

installed_fake::~installed_fake() {
    HKEY key = nullptr;
    if (installed_ && RegOpenKeyExW(HKEY_LOCAL_MACHINE, server_key, 0, KEY_WRITE | own_view,
                                    &key) == ERROR_SUCCESS) {
        if (had_server_) {
            write_value(key, nullptr, old_server_);
            write_value(key, L"ThreadingModel", old_threading_.empty() ? L"Both" : old_threading_);
        } else {
            RegDeleteValueW(key, nullptr);
        }
        RegCloseKey(key);
    }
    if (installed_) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE,
                        (std::wstring(policy_key) + L"\\InprocServer32").c_str(), own_view, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, policy_key, own_view, 0);
    }
    if (state_) {
        state_->active = 0;
        UnmapViewOfFile(state_);
    }
    if (mapping_) CloseHandle(mapping_);
}

} // namespace fakeaudio
