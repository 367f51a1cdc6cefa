// Reading a tips format from resource\resource.ini.

#include "confctl/confctl.h"
#include "main/tips_format.h"

namespace {

// A string key replaces the value only when present and not empty.
template <size_t N> void read_text(m_confctl_base& store, const wchar_t* key, wchar_t (&value)[N]) {
    wchar_t text[N];
    if (store.read_string(key, text, N)) {
        for (size_t i = 0; i < N; ++i) value[i] = text[i];
    }
}

} // namespace

bool load_tips_format(tips_format& format, const wchar_t* name) noexcept {
    format = tips_format{};
    m_confctl_ini store;
    // A missing file leaves every key absent, so the format stays invalid.
    store.open(L"resource\\resource", false);
    store.select_section(name && name[0] ? name : nullptr);
    read_text(store, L"fmt_head", format.head);
    read_text(store, L"fmt_line", format.line);
    read_text(store, L"fmt_line2", format.line2);
    read_text(store, L"norm_text", format.norm_text);
    read_text(store, L"mute_text", format.mute_text);
    read_text(store, L"err_text", format.err_text);
    read_text(store, L"idle_text", format.idle_text);
    store.get_long(L"multiline", format.multiline);
    finish_tips_format(format);
    return format.valid;
}
