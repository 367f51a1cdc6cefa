#include "mxrctl/control_description.h"

#include "mxrctl/control_select_text.h"
#include "mxrctl/mixer_string_ids.h"
#include "winui/ui_language.h"

namespace {

constexpr size_t label_capacity = 64;
// FormatMessageW's output is bounded by this, whatever the names are.
constexpr DWORD description_limit = 1024;
constexpr const wchar_t* error_text = L"## ERROR ##";

std::wstring ui_string(HMODULE module, UINT id) {
    wchar_t text[label_capacity];
    const size_t length = load_ui_string(module, id, text, label_capacity);
    return std::wstring(text, length);
}

std::wstring format_message(const std::wstring& format, const DWORD_PTR* arguments) {
    wchar_t text[description_limit];
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format.c_str(),
                        0, 0, text, description_limit,
                        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments))))
        return {};
    return text;
}

DWORD_PTR text_argument(const wchar_t* text) noexcept {
    return reinterpret_cast<DWORD_PTR>(text);
}

DWORD_PTR number_argument(int64_t number) noexcept {
    return static_cast<DWORD_PTR>(static_cast<INT_PTR>(number));
}

} // namespace

std::wstring describe_control_facts(HMODULE module, const control_facts& facts, balance_unit unit) {
    const bool opened = facts.control != nullptr;
    const uint32_t channels = opened ? facts.channels : 0;
    std::wstring balance;
    if (channels == 2) {
        const DWORD_PTR value[1] = {number_argument(facts.balance)};
        balance = format_message(
            balance_template(ui_string(module, IDS_BALANCE), unit == balance_unit::percent), value);
    }
    const std::wstring source = source_text(facts.source);
    const wchar_t* control = opened ? facts.control : error_text;
    const DWORD_PTR arguments[7] = {text_argument(facts.mixer ? facts.mixer : L""),
                                    number_argument(facts.destination),
                                    text_argument(control),
                                    text_argument(source.c_str()),
                                    text_argument(control),
                                    number_argument(channels),
                                    text_argument(balance.c_str())};
    return format_message(description_template(ui_string(module, IDS_MIXER),
                                               ui_string(module, IDS_CONTROL),
                                               ui_string(module, IDS_CHANNELS)),
                          arguments);
}
