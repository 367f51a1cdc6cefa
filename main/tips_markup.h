#pragma once
// The tips markup and its layout, without Windows: the text is laid out
// through a tips_canvas, which measures and paints (the program's canvas
// draws with GDI into DIBs; tests use canvases with fixed metrics).
//
// Markup: CR, LF or CR LF ends a line (up to 16 lines are laid out). "&{"
// opens a command block that runs to the next "}" or the end of the text;
// inside it blanks and every character that is not a command letter are
// skipped. Commands:
//   A L|R|M          alignment of the lines starting after this point (the
//                    first line takes the alignment in effect at the end)
//   B n,p[,id]       bar of n segments, n*p/100 filled; id (hex): a slider
//   P n,p[,id]       bar n line-heights wide filled to p percent; id likewise
//   C#rrggbb | C<d>  text colour: hex; 0 background, 2 TextColor2, else TextColor
//   E id             a button over what the block drew (none for id 0)
//   H[+-]d, V[+-]d   box placement in percent of the screen: from the left
//                    (top) edge, negative from the right (bottom), 0 centred
//   S[+-]d           font at d percent (1..99) of the base size, else base
//   L|M|R w,text     a field w half line-heights wide (0: the text's width)
//                    with the text left, centred or right in it; the text
//                    runs to the end of the line and ends the block
// Text outside blocks is drawn in runs from the running position. A line is
// as tall as what it draws; a line that draws nothing takes no room.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

constexpr size_t tips_max_lines = 16;
constexpr size_t tips_max_regions = 32;

struct tips_rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const tips_rect&, const tips_rect&) = default;
};

enum class tips_region_kind : uint32_t { button = 0, slider = 1 };

// A clickable area: a button posts (command, 0); a slider posts (command,
// 0..100) by where it is clicked.
struct tips_region {
    uint32_t command = 0;
    tips_region_kind kind = tips_region_kind::button;
    tips_rect rect;
};

enum class tips_align : uint8_t { left, right, centre };

// How a filled rectangle is painted: in the text colour; in the background
// colour, which in the see-through mask is the faint value that keeps a bar
// cell clickable where it shows nothing; or in the background colour shown
// solid (the empty part of a continuous bar, inside its frame).
enum class tips_paint : uint8_t { text, background, backdrop };

class tips_canvas {
public:
    tips_canvas() = default;
    tips_canvas(const tips_canvas&) = delete;
    tips_canvas& operator=(const tips_canvas&) = delete;
    virtual ~tips_canvas() = default;

    // 1..99: the base font scaled to that percentage; anything else: the base font.
    virtual void select_font(int32_t percent) = 0;
    // Height of "_" in the current font.
    virtual int32_t line_height() = 0;
    // Width and height of a run of text in the current font.
    virtual void measure(std::wstring_view text, int32_t& width, int32_t& height) = 0;
    virtual void set_text_color(uint32_t colorref) = 0;
    // Draws text into a cell, aligned in it and clipped to it.
    virtual void draw_text(const tips_rect& cell, std::wstring_view text, tips_align align) = 0;
    virtual void fill(const tips_rect& rect, tips_paint paint) = 0;
};

struct tips_style {
    int32_t edge_size = 1; // see tips_edge()
    uint32_t text_color = 0x0000FF00;
    uint32_t text_color2 = 0x000000FF;
    uint32_t background_color = 0;
    int32_t screen_width = 1024;
    int32_t screen_height = 768;
};

// EdgeSize as used: 0..64 (a larger halo is no outline any more and costs
// a round of dilation per pixel).
int32_t tips_edge(const tips_style& style) noexcept;

struct tips_layout {
    // The measure pass.
    size_t line_count = 0;
    std::array<int32_t, tips_max_lines> line_width{};  // right edge of each line
    std::array<int32_t, tips_max_lines> line_bottom{}; // bottom of each line
    int32_t widest = 0;                                // W: the largest right edge
    int32_t bottom = 0;                                // B: the last line's bottom
    tips_align first_alignment = tips_align::left;
    int32_t h_percent = 0;
    int32_t v_percent = 0;
    // Box and position on the screen.
    int32_t box_width = 0;
    int32_t box_height = 0;
    int32_t x = 0;
    int32_t y = 0;
    // The draw pass: click regions in the order they were drawn.
    size_t region_count = 0;
    std::array<tips_region, tips_max_regions> regions{};
};

// The measure pass, the box size and the position.
tips_layout measure_tips(std::wstring_view text, const tips_style& style, tips_canvas& canvas);
// The draw pass over a measured layout: paints through the canvas and
// records the click regions. The box is expected filled with the background.
void draw_tips(std::wstring_view text, const tips_style& style, tips_canvas& canvas,
               tips_layout& layout);

// --- Pieces of the layout, exposed for tests and for the painting code. ---

// A bar at (x, y) in a line of height l.
struct tips_bar {
    tips_rect cell;   // the whole bar: x .. x + width, y .. y + l
    tips_rect frame;  // what is painted in the text colour ("P": before its unfilled part)
    tips_rect slider; // its click region: the frame of "B", the inner rectangle of "P"
    int32_t width = 0;
};
// Segmented bar "B": n segments of pitch l/3.
tips_bar segmented_bar(int32_t x, int32_t y, int32_t l, uint32_t n) noexcept;
// Segment k of a segmented bar, full height when filled, a dot when empty.
tips_rect bar_segment(int32_t x, int32_t y, int32_t l, uint32_t k, bool filled) noexcept;
// Continuous bar "P": n line-heights wide.
tips_bar continuous_bar(int32_t x, int32_t y, int32_t l, uint32_t n) noexcept;
// The part of a continuous bar's inner rectangle left unfilled at p percent.
tips_rect bar_unfilled(const tips_bar& bar, uint32_t p) noexcept;

// Position on one axis of a box of `size` on a screen of `screen` for a
// placement in percent (see "H"/"V"), kept on the screen.
int32_t tips_place(int32_t percent, int32_t screen, int32_t size) noexcept;

// The command a click posts: a slider's value (0 in its left margin, else
// 1..100) or a button's 0. Buttons answer only button-down; moves with the
// button held reach sliders only.
struct tips_hit {
    bool hit = false;
    uint32_t command = 0;
    int32_t value = 0;
};
tips_hit tips_hit_test(const tips_region* regions, size_t count, uint32_t x, uint32_t y,
                       bool button_down) noexcept;

// Every alpha byte to 255, for `pixels` 32-bit pixels (B, G, R, A in memory
// order).
void alpha_opaque(uint8_t* bgra, size_t pixels) noexcept;

// The alpha of a layered see-through box, kept aside while its mask and
// then its colours are drawn on one picture. A caller that draws often
// keeps the object: its memory is then not fresh each time.
class tips_alpha {
public:
    // From a mask of width x height 32-bit pixels whose rows lie `stride`
    // bytes apart: alpha = (B + G + R) / 3, then `rounds` rounds of: every
    // pixel off the outer border takes the largest alpha of itself and its 8
    // neighbours in the previous round, which gives the text a halo of
    // `rounds` pixels. False when out of memory (nothing taken).
    bool take(const uint8_t* mask, size_t stride, int32_t width, int32_t height,
              int32_t rounds) noexcept;
    // Into the alpha bytes of a picture of the size taken, each colour
    // multiplied by its pixel's alpha (premultiplied, as a window with
    // per-pixel alpha takes it).
    void put(uint8_t* bgra, size_t stride) const noexcept;
    // The memory held.
    size_t bytes() const noexcept { return plane_.capacity() + border_.capacity(); }

private:
    std::vector<uint8_t> plane_;
    std::vector<uint8_t> border_; // the outer border's alpha, never dilated
    size_t width_ = 0;
    size_t height_ = 0;
    size_t plane_stride_ = 0;
};
