#include "setup/start_with_windows.h"

#include "common/unique_resource.h"

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t run_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where the system's start-up apps (Task Manager, Settings) keep whether each
// Run entry may start: a binary value of the entry's name whose first byte is
// odd when the user turned it off. No value means on.
constexpr wchar_t approved_key[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t value_name[] = L"Quellbar";
// What the system writes for an entry turned on: the flags, then 8 bytes of
// the time the entry was turned off, none.
constexpr BYTE approved_on[12] = {2};

// The folder may be deeper than MAX_PATH; a cut path would start nothing.
std::wstring own_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

inline void close_key(HKEY key) noexcept {
    RegCloseKey(key);
}
using unique_hkey = unique_resource<handle_traits::null_is_invalid<HKEY, close_key>>;

// Whether the user turned Quellbar's entry off among the start-up apps.
bool turned_off() noexcept {
    BYTE flags[64] = {};
    DWORD size = sizeof flags;
    return RegGetValueW(HKEY_CURRENT_USER, approved_key, value_name, RRF_RT_REG_BINARY, nullptr,
                        flags, &size) == ERROR_SUCCESS &&
           size > 0 && (flags[0] & 1);
}

// Turns the entry on again, or forgets its state along with the Run value.
bool approve(bool start) noexcept {
    if (start && !turned_off()) return true;
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, approved_key, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    unique_hkey key(opened);
    if (start)
        return RegSetValueExW(key.get(), value_name, 0, REG_BINARY, approved_on,
                              sizeof approved_on) == ERROR_SUCCESS;
    const LONG deleted = RegDeleteValueW(key.get(), value_name);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace

bool starts_with_windows() noexcept {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, run_key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    unique_hkey key(opened);
    return RegQueryValueExW(key.get(), value_name, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           !turned_off();
}

bool set_start_with_windows(bool start) noexcept {
    try {
        HKEY opened = nullptr;
        if (start) {
            if (RegCreateKeyExW(HKEY_CURRENT_USER, run_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &opened, nullptr) != ERROR_SUCCESS)
                return false;
        } else {
            const LONG status =
                RegOpenKeyExW(HKEY_CURRENT_USER, run_key, 0, KEY_SET_VALUE, &opened);
            if (status == ERROR_FILE_NOT_FOUND) return true;
            if (status != ERROR_SUCCESS) return false;
        }
        unique_hkey key(opened);
        if (!start) {
            const LONG status = RegDeleteValueW(key.get(), value_name);
            return (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) && approve(false);
        }
        const std::wstring folder = own_folder();
        if (folder.empty()) return false;
        // Quoted: a folder name with spaces would otherwise split the command.
        const std::wstring command = L"\"" + folder + L"zuvo.exe\"";
        return RegSetValueExW(
                   key.get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
               approve(true);
    } catch (...) {
        return false;
    }
}
