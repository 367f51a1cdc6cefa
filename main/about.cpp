#include "main/about.h"

#include "common/library_search.h"
#include "main/resource.h"
#include "main/zuvo_mixer.h"
#include "winui/dialog_template.h"

#include <strsafe.h>

#include <memory>
#include <new>

namespace {

#ifdef _WIN64
constexpr const wchar_t* word_size = L"(64bit)";
#else
constexpr const wchar_t* word_size = L"(32bit)";
#endif

void version_text(wchar_t* out, size_t capacity) noexcept {
    out[0] = L'\0';
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return;
    const version_functions& versions = version_library();
    DWORD ignored = 0;
    const DWORD size = versions.usable() ? versions.info_size(path, &ignored) : 0;
    const wchar_t* description = L"";
    const wchar_t* legal = L"";
    wchar_t version[32] = L"";
    std::unique_ptr<BYTE[]> block(size ? new (std::nothrow) BYTE[size] : nullptr);
    BYTE* data = block.get();
    if (data && versions.info(path, 0, size, data)) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (versions.query(data, L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
            length >= sizeof *fixed)
            format_file_version(fixed->dwFileVersionMS, fixed->dwFileVersionLS, version, 32);
        WORD* translation = nullptr;
        if (versions.query(data, L"\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length) &&
            translation && length >= 4) {
            wchar_t query[64];
            void* value = nullptr;
            StringCchPrintfW(query, 64, L"\\StringFileInfo\\%04x%04x\\LegalCopyright",
                             translation[0], translation[1]);
            if (versions.query(data, query, &value, &length) && value)
                legal = static_cast<const wchar_t*>(value);
            StringCchPrintfW(query, 64, L"\\StringFileInfo\\%04x%04x\\FileDescription",
                             translation[0], translation[1]);
            if (versions.query(data, query, &value, &length) && value)
                description = static_cast<const wchar_t*>(value);
        }
    }
    StringCchPrintfW(out, capacity, L"%s\r\nver.%s %s\r\n%s", description, version, word_size,
                     legal);
}

// What the box is opened on.
struct about_subject {
    HINSTANCE instance;
    Czuvo_mixer& mixer;
    const Cconfig& config;
};

void control_text(const about_subject& subject, wchar_t* out, size_t capacity) noexcept {
    out[0] = L'\0';
    Czuvo_mixer& mixer = subject.mixer;
    const size_t slot = mixer.current_index();
    const control_entry* e = subject.config.controls[slot].get();
    m_mxrctl::m_devs* c = mixer.control(slot);
    if (!e || !c) return;

    wchar_t part[64], format[512] = L"";
    const UINT ids[3] = {IDS_MIXER, IDS_CONTROL, IDS_CHANNELS};
    const wchar_t* tails[3] = {L" : %1!s!%n", L" : [%4!s!] %5!s!%n", L" : %6!d!%0"};
    for (int i = 0; i < 3; ++i) {
        if (LoadStringW(subject.instance, ids[i], part, 64) <= 0) part[0] = L'\0';
        StringCchCatW(format, 512, part);
        StringCchCatW(format, 512, tails[i]);
    }

    // Bound afresh, so that a device that has gone shows as gone.
    const bool usable = mixer.bind(slot) && c->is_open() && c->mixer();
    wchar_t source[16];
    if (e->source == -1)
        StringCchCopyW(source, 16, L"M");
    else
        StringCchPrintfW(source, 16, L"%d", e->source);
    const wchar_t* error = L"## ERROR ##";
    DWORD_PTR arguments[6] = {reinterpret_cast<DWORD_PTR>(usable ? c->mixer()->name() : e->mixer),
                              static_cast<DWORD_PTR>(e->destination),
                              reinterpret_cast<DWORD_PTR>(usable ? L"" : error),
                              reinterpret_cast<DWORD_PTR>(source),
                              reinterpret_cast<DWORD_PTR>(usable ? c->name() : error),
                              static_cast<DWORD_PTR>(usable ? c->channels() : 0)};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0,
                        out, static_cast<DWORD>(capacity), reinterpret_cast<va_list*>(arguments)))
        out[0] = L'\0';
}

INT_PTR CALLBACK about_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
    case WM_INITDIALOG: {
        wchar_t text[1024];
        version_text(text, 1024);
        SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text);
        control_text(*reinterpret_cast<const about_subject*>(lparam), text, 1024);
        SetDlgItemTextW(dialog, IDC_ABOUT_CONTROL, text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void format_file_version(uint32_t version_ms, uint32_t version_ls, wchar_t* out,
                         size_t capacity) noexcept {
    StringCchPrintfW(out, capacity, L"%d.%d.%d", static_cast<int>(HIWORD(version_ms)),
                     static_cast<int>(LOWORD(version_ms)), static_cast<int>(HIWORD(version_ls)));
}

void show_about_box(HINSTANCE instance, HWND owner, Czuvo_mixer& mixer,
                    const Cconfig& config) noexcept {
    DLGTEMPLATE* dialog = build_dialog_template(instance, IDD_ABOUT);
    if (!dialog) return;
    about_subject subject{instance, mixer, config};
    DialogBoxIndirectParamW(instance, dialog, owner, about_procedure,
                            reinterpret_cast<LPARAM>(&subject));
    GlobalFree(dialog);
}
