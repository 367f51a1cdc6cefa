#include "winui/edit_number.h"

#include "confctl/ini_values.h"

int32_t edit_number_from_text(const wchar_t* text) noexcept {
    if (!text) return 0;
    wchar_t field[edit_number_characters + 1] = {};
    for (size_t i = 0; i < edit_number_characters && text[i]; ++i) field[i] = text[i];
    // The same rule as a signed number in a settings file.
    return ini_values::parse_long(field);
}
