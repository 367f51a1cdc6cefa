#include "mxrctl/control_select_text.h"

namespace {

// A label enters a FormatMessage template as literal text.
void append_literal(std::wstring& text, std::wstring_view label) {
    for (wchar_t c : label) {
        if (c == L'%') text += L'%';
        text += c;
    }
}

} // namespace

std::wstring default_mixer_entry(std::wstring_view default_mixer) {
    std::wstring text = L"<";
    text += default_mixer;
    text += L'>';
    return text;
}

std::wstring default_mixer_caption(std::wstring_view default_mixer) {
    std::wstring text = L"#";
    text += default_mixer;
    return text;
}

std::wstring control_list_entry(int32_t source, std::wstring_view name) {
    std::wstring text = L"[";
    text += source_text(source);
    text += L"] ";
    text += name;
    return text;
}

std::wstring_view caption_from_control_entry(std::wstring_view entry) {
    const size_t bracket = entry.find(L']');
    if (bracket == std::wstring_view::npos) return {};
    std::wstring_view rest = entry.substr(bracket + 1);
    const size_t start = rest.find_first_not_of(L" \t");
    return start == std::wstring_view::npos ? std::wstring_view{} : rest.substr(start);
}

std::wstring source_text(int32_t source) {
    if (source < -1) return L"A";
    return source == -1 ? std::wstring(L"M") : std::to_wstring(source);
}

std::wstring program_label(std::wstring_view display_name, std::wstring_view file_name) {
    if (display_name.empty() || display_name == file_name) return std::wstring(file_name);
    std::wstring label(display_name);
    label += L" (";
    label += file_name;
    label += L')';
    return label;
}

std::wstring balance_percent_text(int32_t balance) {
    return std::to_wstring(balance) + L'%';
}

std::wstring description_template(std::wstring_view mixer_label, std::wstring_view control_label,
                                  std::wstring_view channels_label) {
    // Names, which may hold any character, only ever enter as arguments.
    std::wstring text;
    append_literal(text, mixer_label);
    text += L" : %1!s!%n";
    append_literal(text, control_label);
    text += L" : [%4!s!] %5!s!%n";
    append_literal(text, channels_label);
    text += L" : %6!d! %7!s!%0";
    return text;
}

std::wstring balance_template(std::wstring_view balance_label, bool percent) {
    std::wstring text = L"(";
    append_literal(text, balance_label);
    text += percent ? L": %1!d!%%)" : L": %1!d!)";
    return text;
}
