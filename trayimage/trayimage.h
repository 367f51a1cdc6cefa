#pragma once
// The tray image set: the pictures of resource\resource.ini (an icon set and
// a digit set) and the composition of the tray icon from them.

#include "common/unique_resource.h"
#include "trayimage/picture_set.h"
#include "trayimage/trayimage_pixels.h"

#include <windows.h>
#include <cstdint>

// One picture of the resource folder, held as a 32-bit top-down DIB section
// selected into its own memory DC. Pixels are B, G, R, A in memory order.
class Ctraypicture {
public:
    Ctraypicture() = default;
    Ctraypicture(const Ctraypicture&) = delete;
    Ctraypicture& operator=(const Ctraypicture&) = delete;

    // Loads a picture file through GDI+ (which must be started). Pictures
    // without an alpha channel become transparent where they show
    // `mask_color`. False, with the picture empty, when the file cannot be
    // read or is not a usable size.
    bool load(const wchar_t* path, COLORREF mask_color) noexcept;
    void release() noexcept;

    bool empty() const noexcept { return bits_ == nullptr; }
    int32_t width() const noexcept { return width_; }
    int32_t height() const noexcept { return height_; }
    bool has_alpha() const noexcept { return has_alpha_; }
    HDC dc() const noexcept { return dc_.get(); }
    tray_pixels::const_image pixels() const noexcept { return {bits_, width_, height_}; }

private:
    // Declared before the DC so that the DC, which holds it selected, goes first.
    unique_hbitmap bitmap_;
    unique_hdc dc_;
    uint8_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool has_alpha_ = false;
};

class Ctrayimage {
public:
    static constexpr size_t name_capacity = 32;
    static constexpr COLORREF default_mask_color = RGB(255, 0, 255);

    Ctrayimage() = default;
    Ctrayimage(const Ctrayimage&) = delete;
    Ctrayimage& operator=(const Ctrayimage&) = delete;
    ~Ctrayimage();

    // A null name leaves that part as it is; a name equal to the loaded one
    // is not loaded again. Always true.
    bool load_images(const wchar_t* icon_set, const wchar_t* digit_set) noexcept;
    // The size the shell asks for (0 x 0: the base picture's size). Of the
    // icon set and the "variants" it names, the one that fills this size
    // best by a whole factor is loaded, and the digits of the same section
    // when the digit set names it too; the icon is built at this size with
    // the picture enlarged by that factor and centred. A base picture that
    // does not fit is handed over at its own size, for the shell to shrink.
    void set_icon_size(int32_t width, int32_t height) noexcept;
    // Builds the icon for a volume (digits only for 0..100), a colour for the
    // digits, and the mute and error overlays. The icon stays owned here; the
    // previous one is destroyed.
    HICON compose(int32_t volume, COLORREF color, bool muted, bool error) noexcept;

    const wchar_t* icon_set() const noexcept { return icon_set_; }
    const wchar_t* digit_set() const noexcept { return digit_set_; }
    // The section the icon pictures came from: the icon set or one of its variants.
    const wchar_t* icon_section() const noexcept { return icon_section_; }
    const wchar_t* digit_section() const noexcept { return digit_section_; }

    const Ctraypicture& base_picture() const noexcept { return base_; }
    const Ctraypicture& mute_picture() const noexcept { return mute_; }
    const Ctraypicture& error_picture() const noexcept { return error_; }
    const Ctraypicture& tens_picture() const noexcept { return tens_; }
    const Ctraypicture& ones_picture() const noexcept { return ones_; }
    int32_t tens_offset() const noexcept { return tens_offset_; }
    COLORREF mask_color() const noexcept { return mask_color_; }
    // The picture of the last composition (what the icon was built from).
    tray_pixels::const_image work_pixels() const noexcept {
        return shown_bits_ ? tray_pixels::const_image{shown_bits_, asked_width_, asked_height_}
                           : tray_pixels::const_image{work_bits_, work_width_, work_height_};
    }

private:
    void load(const wchar_t* icon_set, const wchar_t* digit_set) noexcept;
    void load_icon_set(picture_set::value_source& values, const wchar_t* name) noexcept;
    // Loads the base picture of the set or of the variant that fits best;
    // returns the section it came from.
    const wchar_t* load_base(picture_set::value_source& values, const wchar_t* name) noexcept;
    void load_digit_set(picture_set::value_source& values, const wchar_t* name) noexcept;
    void create_work_bitmaps() noexcept;

    Ctraypicture base_;
    Ctraypicture mute_;
    Ctraypicture error_;
    Ctraypicture tens_;
    Ctraypicture ones_;
    int32_t tens_offset_ = 0;
    COLORREF mask_color_ = default_mask_color;
    wchar_t icon_set_[name_capacity] = {};
    wchar_t digit_set_[name_capacity] = {};
    bool icon_set_cut_ = false; // the name did not fit and was shortened
    bool digit_set_cut_ = false;
    // The names last asked for, loaded or not, to choose again at another size.
    wchar_t icon_request_[name_capacity] = {};
    wchar_t digit_request_[name_capacity] = {};
    bool icon_request_cut_ = false;
    bool digit_request_cut_ = false;
    wchar_t icon_section_[name_capacity] = {};
    wchar_t digit_section_[name_capacity] = {};
    int32_t asked_width_ = 0;
    int32_t asked_height_ = 0;
    int32_t scale_ = 1;
    unique_hbitmap work_;
    uint8_t* work_bits_ = nullptr;
    int32_t work_width_ = 0;
    int32_t work_height_ = 0;
    unique_hbitmap shown_; // the work picture enlarged to the asked size, when it differs
    uint8_t* shown_bits_ = nullptr;
    unique_hbitmap mask_;
    unique_hicon icon_;
};
