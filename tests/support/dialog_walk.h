#pragma once
// Reading extended dialog templates (DLGTEMPLATEEX) as the dialog manager
// does, to check what a dialog resource holds without showing it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct dialog_item {
    size_t offset = 0; // of the item template, from the start of the dialog
    uint32_t style = 0;
    uint32_t id = 0;
    std::wstring class_name; // "#0x0080" style for predefined classes
    std::wstring title;
};

struct parsed_dialog {
    uint32_t style = 0;
    std::wstring title;
    uint16_t point_size = 0;
    std::wstring face;
    std::vector<dialog_item> items;
    size_t end = 0; // just past the last item
};

parsed_dialog parse_dialog(const uint8_t* dialog);

} // namespace test_support
