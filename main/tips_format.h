#pragma once
// Tips formats and the tips text built from them.
//
// A tips format is a section of resource\resource.ini (named by
// Basic/TipsFormat) that says how the controls are written into tips markup:
// a head, the line of the current control, the line of every other control,
// three state words and how many controls are listed. The refresh builds the
// tips text from it and posts that text to the tips window.
//
// Everything here but load_tips_format is plain code without Windows headers.
//
// For the controls model:
//   tips_format format;                       // member; invalid until loaded
//   load_tips_format(format, config.tips_format);
//   ...
//   tips_line_source source = [&](size_t slot, tips_line_info& info) noexcept {
//       // false for a slot without a control or without a control object;
//       // otherwise bind the control and fill every field of `info`
//       return true;
//   };
//   build_tips_text_from(format, current_index, source, config.text_color,
//                        config.tips_vol0_on_mute, text, tips_text_capacity);
// The source is asked at most once per slot and only for the slots whose
// lines are written, so binding there binds only what is shown.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// The tips text, and every tips request's text, fits this many characters
// with its terminating NUL.
constexpr size_t tips_text_capacity = 1600;
// Controls a format can list.
constexpr int32_t tips_multiline_max = 4;

struct tips_format {
    static constexpr size_t format_capacity = 320; // read as up to 319 characters
    static constexpr size_t word_capacity = 64;    // read as up to 63 characters

    // fmt_line was not empty: the program shows tips of its own.
    bool valid = false;
    wchar_t head[format_capacity] = {};
    wchar_t line[format_capacity] = {};  // the current control
    wchar_t line2[format_capacity] = {}; // every other control
    wchar_t norm_text[word_capacity] = L"[Active]";
    wchar_t mute_text[word_capacity] = L"[Mute]";
    wchar_t err_text[word_capacity] = L"[ERROR]";
    // A program's control while the program plays nothing.
    wchar_t idle_text[word_capacity] = L"[Idle]";
    // Slots 0 .. multiline - 1 are listed; 0 lists the current control only.
    int32_t multiline = 0;
};

// What a line says about one control.
struct tips_line_info {
    const wchar_t* name = nullptr; // caption, or the line name for a "#" caption
    int32_t volume = 0;            // percent, 0 when it could not be read
    bool usable = false;
    bool muted = false;
    bool idle = false;      // usable, with nothing to act on (a program that plays nothing)
    bool has_color = false; // the control's own Color
    uint32_t color = 0;     // COLORREF (0x00bbggrr)
};

// Fills `info` for a slot and returns true, or returns false for a slot
// that holds no control (or no control object).
using tips_line_source = std::function<bool(size_t slot, tips_line_info& info)>;

// Loads the format from the section `name` of resource\resource.ini (in the
// current directory); an empty or null name reads the section "root". Missing
// keys keep their defaults; returns format.valid.
bool load_tips_format(tips_format& format, const wchar_t* name) noexcept;

// The format texts are stored with backslash escapes: \n \r \t stand for
// LF, CR and TAB, \0 ends the text, a backslash before any other character
// stands for that character. Unescapes `text` in place (it only shrinks).
void unescape_format_text(wchar_t* text) noexcept;

// Stores a format's values read as raw texts (as the file holds them):
// unescapes the three formats, limits multiline to 0..4, sets valid.
void finish_tips_format(tips_format& format) noexcept;

// Writes one line of a format for the control in `slot` (see the escapes in
// tips_format.cpp) to `out`, appending at `length`; returns the new length.
// The output never exceeds capacity - 1 characters and is NUL-terminated.
size_t expand_tips_line(std::wstring_view line_format, size_t slot, const tips_line_info& info,
                        const tips_format& format, uint32_t text_color, bool vol0_on_mute,
                        wchar_t* out, size_t capacity, size_t length) noexcept;

// The whole tips text: the head (with "%%" for "%"), then the current
// control's line first when its slot is not below multiline, then the lines
// of slots 0 .. multiline - 1 that hold a control, separated by LF. Returns
// the length written (at most capacity - 1); an invalid format writes "".
size_t build_tips_text_from(const tips_format& format, size_t current,
                            const tips_line_source& source, uint32_t text_color, bool vol0_on_mute,
                            wchar_t* out, size_t capacity) noexcept;
