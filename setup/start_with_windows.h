#pragma once
// Whether Windows starts Quellbar when the user logs on. Windows reads this
// from the user's Run key, not from zuvo.ini, so it is kept there and the
// installer writes the same value.

// The Run key as the user knows it, for messages.
constexpr wchar_t run_key_display_path[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// True when the user's Run key has Quellbar's value, whatever it points at,
// and the user has not turned that entry off among the system's start-up
// apps (kept beside it, under Explorer\StartupApproved\Run): the box then
// shows that Windows starts some Quellbar.
bool starts_with_windows() noexcept;

// Writes the value (the quoted path of zuvo.exe beside this program) and
// turns a start-up entry that the user had turned off on again, or removes
// both. False when the registry refused; a value that is already gone counts
// as removed.
bool set_start_with_windows(bool start) noexcept;
