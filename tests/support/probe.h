#pragma once
// Test-side helpers for the probe plug-in (protocol: probe_protocol.h):
// installing copies of it into a program folder, writing their settings,
// commanding them, and reading what they wrote down.

#include "tests/support/harness.h"
#include "tests/support/probe_protocol.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// The probe library of this build (<build>\tests\plugins\probe.dll), or
// its copy without the entry export (probe_noentry.dll), which the host
// loads and refuses.
std::wstring probe_library();
std::wstring probe_library_without_entry();

// Copies the probe into `folder`\plugin\<file_name> and writes its settings
// file <name>.ini, [Probe] section, from "Key=Value" lines (name = file
// name without ".dll").
bool install_probe(const program_folder& folder, const std::wstring& file_name = L"probe.dll",
                   std::initializer_list<std::wstring> settings = {},
                   const std::wstring& library = probe_library());

// zuvo.ini text listing `plugins` in [Plugin] ("" keeps an index empty).
std::wstring plugin_section(std::initializer_list<std::wstring> plugins);

// WM_COMMAND for plug-in `index` with event `code`.
constexpr WPARAM probe_command(uint32_t index, uint16_t code) {
    return (static_cast<WPARAM>(code) << 16) | (0x0600u + index);
}

struct probe_record {
    uint64_t tick = 0;
    std::wstring name; // the probe copy's name
    std::wstring kind;
    std::vector<std::wstring> fields;

    // Field i as a number (decimal or 0x-hex); 0 when absent.
    uint64_t number(size_t i) const;
    const std::wstring& text(size_t i) const;
};

// Waits until the program has handled everything posted to it before, and
// whatever that posted in turn (the probe's `sync` event, see
// probe_protocol.h): zuvo_process::sync() alone does not wait for posted
// messages. `index` is the probe's plug-in index.
bool probe_sync(const zuvo_process& zuvo, const program_folder& folder, uint32_t index,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Whether the program, `after` from now, still handles a posted command
// within `within` (probe_sync): its one thread is not held up. A sent
// message would prove nothing, for a thread waiting inside a send of its
// own still answers those.
bool handles_posted_in_time(const zuvo_process& zuvo, const program_folder& folder, uint32_t index,
                            std::chrono::milliseconds after, std::chrono::milliseconds within);

// Everything written to `folder`\probe.log so far.
std::vector<probe_record> read_probe_log(const program_folder& folder);
std::vector<probe_record> read_probe_log(const std::wstring& folder_path);
// The records of one kind (and one probe when `name` is not empty).
std::vector<probe_record> probe_records(const program_folder& folder, const std::wstring& kind,
                                        const std::wstring& name = L"");
// The names of the probes that wrote records of that kind, in order
// (entry and release order, for example).
std::vector<std::wstring> probe_names(const program_folder& folder, const std::wstring& kind);
// Waits until at least `count` records of that kind exist.
bool wait_for_probe_records(const program_folder& folder, const std::wstring& kind, size_t count,
                            const std::wstring& name = L"",
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));

// What the last logged request of `message` points to, read from zuvo.exe:
// the text of a tips request (0x800), or the text of a balloon request's
// record (0x820). Plug-ins keep that buffer, so it still holds the text.
// "(none)" when the probe logged no such request, "(unreadable)".
std::wstring last_posted_text(zuvo_process& zuvo, const program_folder& folder, UINT message);

// One popup menu as the probe saw it when it opened.
struct probe_menu_item {
    int position = 0;
    uint32_t id = 0;
    uint32_t type = 0;
    uint32_t state = 0;
    bool has_submenu = false;
    std::wstring text;
};
// The items of the last popup the probe `name` wrote down (any probe when empty).
std::vector<probe_menu_item> last_probe_popup(const program_folder& folder,
                                              const std::wstring& name = L"");
// The items of the submenus in that popup (`parent`: of the item at that
// position only; -1: of every one), positions within their submenu.
std::vector<probe_menu_item> last_probe_submenu(const program_folder& folder, int parent = -1);

} // namespace test_support
