#include "tests/support/probe.h"

#include "tests/support/files.h"

namespace test_support {

std::wstring probe_library() {
    return exe_folder() + L"\\plugins\\probe.dll";
}
std::wstring probe_library_without_entry() {
    return exe_folder() + L"\\plugins\\probe_noentry.dll";
}

bool install_probe(const program_folder& folder, const std::wstring& file_name,
                   std::initializer_list<std::wstring> settings, const std::wstring& library) {
    if (!folder.copy_in(library, L"plugin\\" + file_name)) return false;
    std::wstring name = file_name.substr(0, file_name.find_last_of(L'.'));
    std::wstring text = L"[" + std::wstring(probe_protocol::section) + L"]\r\n";
    for (const auto& line : settings) text += line + L"\r\n";
    return folder.write_ini(name + L".ini", text);
}

std::wstring plugin_section(std::initializer_list<std::wstring> plugins) {
    std::wstring text = L"[Plugin]\r\nNum=" + std::to_wstring(plugins.size()) + L"\r\n";
    size_t index = 0;
    for (const auto& plugin : plugins) {
        std::wstring key = std::to_wstring(index++);
        if (key.size() < 2) key.insert(0, L"0");
        text += key + L"=" + plugin + L"\r\n";
    }
    return text;
}

bool probe_sync(const zuvo_process& zuvo, const program_folder& folder, uint32_t index,
                std::chrono::milliseconds timeout) {
    auto done = [&] {
        size_t count = 0;
        for (const auto& record : probe_records(folder, L"event"))
            count += record.number(0) == probe_protocol::sync_done;
        return count;
    };
    const size_t before = done();
    if (!PostMessageW(zuvo.window(), WM_COMMAND, probe_command(index, probe_protocol::sync), 0))
        return false;
    return wait_until([&] { return done() > before; }, timeout);
}

bool handles_posted_in_time(const zuvo_process& zuvo, const program_folder& folder, uint32_t index,
                            std::chrono::milliseconds after, std::chrono::milliseconds within) {
    std::this_thread::sleep_for(after);
    return probe_sync(zuvo, folder, index, within);
}

uint64_t probe_record::number(size_t i) const {
    if (i >= fields.size()) return 0;
    const std::wstring& f = fields[i];
    try {
        if (f.size() > 2 && f[0] == L'0' && (f[1] == L'x' || f[1] == L'X'))
            return std::stoull(f.substr(2), nullptr, 16);
        return std::stoull(f, nullptr, 10);
    } catch (...) {
        return 0;
    }
}

const std::wstring& probe_record::text(size_t i) const {
    static const std::wstring empty;
    return i < fields.size() ? fields[i] : empty;
}

namespace {
std::vector<std::wstring> split_tabs(const std::wstring& line) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        parts.push_back(
            line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) break;
        start = tab + 1;
    }
    return parts;
}
} // namespace

std::vector<probe_record> read_probe_log(const program_folder& folder) {
    return read_probe_log(folder.path());
}

std::vector<probe_record> read_probe_log(const std::wstring& folder_path) {
    std::vector<probe_record> records;
    const std::wstring text = read_text(folder_path + L"\\" + probe_protocol::log_file);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        // A line still being written has no end yet.
        if (end == std::wstring::npos) break;
        std::vector<std::wstring> parts = split_tabs(text.substr(start, end - start));
        start = end + 2;
        if (parts.size() < 3) continue;
        probe_record record;
        try {
            record.tick = std::stoull(parts[0]);
        } catch (...) {
            continue;
        }
        record.name = parts[1];
        record.kind = parts[2];
        record.fields.assign(parts.begin() + 3, parts.end());
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<probe_record> probe_records(const program_folder& folder, const std::wstring& kind,
                                        const std::wstring& name) {
    std::vector<probe_record> found;
    for (auto& record : read_probe_log(folder))
        if (record.kind == kind && (name.empty() || record.name == name))
            found.push_back(std::move(record));
    return found;
}

std::vector<std::wstring> probe_names(const program_folder& folder, const std::wstring& kind) {
    std::vector<std::wstring> names;
    for (const auto& record : probe_records(folder, kind)) names.push_back(record.name);
    return names;
}

bool wait_for_probe_records(const program_folder& folder, const std::wstring& kind, size_t count,
                            const std::wstring& name, std::chrono::milliseconds timeout) {
    return wait_until([&] { return probe_records(folder, kind, name).size() >= count; }, timeout);
}

std::vector<probe_menu_item> last_probe_popup(const program_folder& folder,
                                              const std::wstring& name) {
    std::vector<probe_menu_item> items;
    for (const auto& record : read_probe_log(folder)) {
        if (!name.empty() && record.name != name) continue;
        if (record.kind == L"popup") items.clear();
        if (record.kind != L"item") continue;
        probe_menu_item item;
        item.position = static_cast<int>(record.number(0));
        item.id = static_cast<uint32_t>(record.number(1));
        item.type = static_cast<uint32_t>(record.number(2));
        item.state = static_cast<uint32_t>(record.number(3));
        item.has_submenu = record.number(4) != 0;
        item.text = record.text(5);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<probe_menu_item> last_probe_submenu(const program_folder& folder, int parent) {
    std::vector<probe_menu_item> items;
    for (const auto& record : read_probe_log(folder)) {
        if (record.kind == L"popup") items.clear();
        if (record.kind != L"subitem") continue;
        if (parent >= 0 && record.number(0) != static_cast<uint64_t>(parent)) continue;
        probe_menu_item item;
        item.position = static_cast<int>(record.number(1));
        item.id = static_cast<uint32_t>(record.number(2));
        item.type = static_cast<uint32_t>(record.number(3));
        item.state = static_cast<uint32_t>(record.number(4));
        item.text = record.text(5);
        items.push_back(std::move(item));
    }
    return items;
}

namespace {

bool read_memory(const process& from, uint64_t address, void* out, size_t size) {
    SIZE_T got = 0;
    return ReadProcessMemory(from.handle(),
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), out,
                             size, &got) &&
           got == size;
}

} // namespace

std::wstring last_posted_text(zuvo_process& zuvo, const program_folder& folder, UINT message) {
    const auto posted = probe_records(folder, L"msg");
    for (auto it = posted.rbegin(); it != posted.rend(); ++it) {
        if (it->number(0) != message) continue;
        uint64_t address = it->number(1);
        if (message == 0x820) {
            const void* record[2] = {};
            if (!read_memory(zuvo.proc(), address, record, sizeof record)) return L"(unreadable)";
            address = reinterpret_cast<uintptr_t>(record[1]);
        }
        wchar_t text[128] = {};
        if (!read_memory(zuvo.proc(), address, text, sizeof text - sizeof(wchar_t)))
            return L"(unreadable)";
        return text;
    }
    return L"(none)";
}

} // namespace test_support
