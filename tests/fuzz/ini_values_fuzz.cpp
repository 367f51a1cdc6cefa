// libFuzzer target for the value forms of the settings files: numbers,
// colours and the byte-order mark a file starts with. Built natively by
// scripts/fuzz. The input is read as UTF-16 text (what a settings value
// holds) and as the first bytes of a file. Every text sits in a heap block of
// exactly its own size, so a read past its terminator reaches the redzone.
// The checks compare with the rules of reference_values.h.

#include "confctl/ini_values.h"
#include "tests/fuzz/reference_values.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

std::vector<wchar_t> text_from(const uint8_t* data, size_t size) {
    std::vector<wchar_t> text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    text.push_back(L'\0');
    return text;
}

void check_numbers(const wchar_t* text) {
    if (ini_values::parse_ulong(text) != reference::number(text)) std::abort();
    if (ini_values::parse_long(text) != reference::signed_number(text)) std::abort();
    for (const wchar_t* p = text; *p; ++p)
        if (ini_values::hex_digit_value(*p) != reference::hex(*p)) std::abort();
}

void check_color(const wchar_t* text) {
    const uint32_t fallback = 0x00ABCDEF;
    const uint32_t color = ini_values::parse_color(text, fallback);
    if (color != reference::color(text, fallback)) std::abort();
    if (text[0] != L'#') return;

    // Formats into a buffer of exactly the room it asks for and reads back.
    auto out = std::make_unique<wchar_t[]>(8);
    ini_values::format_color(color, out.get(), 8);
    if (out[0] != L'#' || out[7] != L'\0' || ini_values::parse_color(out.get(), 0) != color)
        std::abort();
    for (size_t i = 1; i < 7; ++i)
        if (reference::hex(out[i]) < 0 || (out[i] >= L'A' && out[i] <= L'F')) std::abort();
    // Too little room leaves an empty text and writes nothing more.
    auto small = std::make_unique<wchar_t[]>(7);
    small[0] = L'x';
    ini_values::format_color(color, small.get(), 7);
    if (small[0] != L'\0') std::abort();
}

void check_mark(const uint8_t* data, size_t size) {
    // Only the bytes the file has; a file of one byte has no mark.
    auto bytes = std::make_unique<uint8_t[]>(size ? size : 1);
    if (size) std::memcpy(bytes.get(), data, size);
    using ini_values::text_mark;
    text_mark expected = text_mark::none;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        expected = text_mark::utf16le;
    else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF)
        expected = text_mark::utf16be;
    else if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        expected = text_mark::utf8;
    if (ini_values::leading_mark(bytes.get(), size) != expected) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check_mark(data, size);
    const std::vector<wchar_t> text = text_from(data, size);
    auto exact = std::make_unique<wchar_t[]>(text.size());
    std::memcpy(exact.get(), text.data(), text.size() * sizeof(wchar_t));
    check_numbers(exact.get());
    check_color(exact.get());
    return 0;
}
