#include "setup/setup_state.h"

#include <strsafe.h>

void load_resource_sets(const wchar_t* prefix, resource_set_list& list) noexcept {
    list = {};
    // A missing file leaves the path set, so every read below finds nothing.
    m_confctl_ini store;
    store.open(L"resource\\resource", false);
    store.select_section(L"sections");
    for (size_t i = 0; i < list.size(); ++i) {
        wchar_t key[32];
        StringCchPrintfW(key, 32, L"%ls%02u", prefix, static_cast<unsigned>(i));
        store.read_string(key, list[i].section, 64);
    }
    for (auto& entry : list) {
        if (entry.section[0] == L'\0') continue;
        store.select_section(entry.section);
        if (!store.read_string(L"desc", entry.description, 64))
            StringCchCopyW(entry.description, 64, entry.section);
    }
}
