#pragma once
// The low-level mouse hook procedure and the 4 bytes of shared memory it
// reads its own hook handle from. The plug-in installs it; the benchmark
// calls it directly.

#include <windows.h>

#include <cstdint>

namespace barroll {

inline constexpr const wchar_t* mapping_name = L"zuvoplug_barroll_data";

uint32_t shared_value(HHOOK hook) noexcept;
HHOOK shared_hook(uint32_t value) noexcept;
uint32_t read_shared(const void* view) noexcept;
void write_shared(void* view, uint32_t value) noexcept;

// Posts the wheel and the middle button over the taskbar (the taskbar itself
// under the pointer, not a window covering it) to the main window and
// swallows them; passes everything else on, moves without any look-up.
LRESULT CALLBACK taskbar_mouse_proc(int code, WPARAM wparam, LPARAM lparam) noexcept;

} // namespace barroll
