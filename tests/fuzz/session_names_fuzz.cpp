// libFuzzer target for audio session identifiers, which the audio system
// hands in for every program's stream. Built natively by scripts/fuzz. The
// input is read as UTF-16 text in a heap block of exactly its own size, so a
// read past its terminator reaches the redzone; the first byte chooses the
// size of the buffer the name goes to. Checks: a name found fits its buffer,
// is a non-empty run of the identifier after its first '|' that holds no
// '\', '/' or '|', and ends where the first "%b" after it starts; it equals itself ignoring
// case, and nothing is found in an identifier without '|' or "%b".

#include "mxrctl/session_names.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t capacity = data[0] % 64;
    std::vector<wchar_t> text;
    for (size_t i = 1; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    text.push_back(L'\0');
    auto identifier = std::make_unique<wchar_t[]>(text.size());
    std::wmemcpy(identifier.get(), text.data(), text.size());
    auto out = std::make_unique<wchar_t[]>(capacity + 1);
    out[capacity] = L'#'; // a guard the call must not touch
    const bool named = session_file_name(identifier.get(), out.get(), capacity);
    if (out[capacity] != L'#') std::abort();
    if (!named) {
        if (capacity > 0 && out[0] != L'\0') std::abort();
        return 0;
    }
    const size_t length = std::wcslen(out.get());
    if (length == 0 || length >= capacity) std::abort();
    const wchar_t* bar = std::wcschr(identifier.get(), L'|');
    if (!bar) std::abort();
    // The name stands right before the first "%b" after the '|'.
    const wchar_t* end = std::wcsstr(bar + 1, L"%b");
    if (!end || end - (bar + 1) < static_cast<ptrdiff_t>(length)) std::abort();
    if (std::wmemcmp(end - length, out.get(), length) != 0) std::abort();
    for (size_t i = 0; i < length; ++i)
        if (out[i] == L'\\' || out[i] == L'/' || out[i] == L'|') std::abort();
    if (!same_file_name(out.get(), out.get())) std::abort();
    return 0;
}
