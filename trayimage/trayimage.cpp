#include "trayimage/trayimage.h"

#include "confctl/confctl.h"
#include "common/gdiplus_include.h"
#include "trayimage/picture_set.h"

#include <strsafe.h>

#include <cstring>

namespace gdip = Gdiplus::DllExports;

namespace {

constexpr wchar_t resource_file[] = L"resource\\resource";

void dispose_bitmap(Gdiplus::GpBitmap* bitmap) noexcept {
    gdip::GdipDisposeImage(bitmap);
}
using unique_gp_bitmap =
    unique_resource<handle_traits::null_is_invalid<Gdiplus::GpBitmap*, dispose_bitmap>>;

// Keeps the pixels of a GDI+ bitmap locked while they are copied.
class bits_lock {
public:
    bits_lock(Gdiplus::GpBitmap* bitmap, const Gdiplus::GpRect& rect) noexcept : bitmap_(bitmap) {
        locked_ = gdip::GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead,
                                           PixelFormat32bppARGB, &data_) == Gdiplus::Ok;
    }
    bits_lock(const bits_lock&) = delete;
    bits_lock& operator=(const bits_lock&) = delete;
    ~bits_lock() {
        if (locked_) gdip::GdipBitmapUnlockBits(bitmap_, &data_);
    }
    bool locked() const noexcept { return locked_; }
    const Gdiplus::BitmapData& data() const noexcept { return data_; }

private:
    Gdiplus::GpBitmap* bitmap_;
    Gdiplus::BitmapData data_{};
    bool locked_ = false;
};

// A 32-bit top-down DIB section, zero-filled by the system.
unique_hbitmap create_dib(int32_t width, int32_t height, uint8_t*& bits) noexcept {
    bits = nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    unique_hbitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels) return unique_hbitmap();
    bits = static_cast<uint8_t*>(pixels);
    return bitmap;
}

// A set name is remembered in a fixed buffer; a longer name is never taken
// for the remembered one, so it is simply loaded each time.
bool same_name(const wchar_t* name, const wchar_t* remembered, bool remembered_cut) noexcept {
    if (remembered_cut) return false;
    size_t length = 0;
    if (FAILED(StringCchLengthW(name, Ctrayimage::name_capacity, &length))) return false;
    return wcscmp(name, remembered) == 0;
}

void remember_name(wchar_t (&target)[Ctrayimage::name_capacity], bool& cut,
                   const wchar_t* name) noexcept {
    size_t length = 0;
    cut = FAILED(StringCchLengthW(name, Ctrayimage::name_capacity, &length));
    StringCchCopyNW(target, Ctrayimage::name_capacity, name, Ctrayimage::name_capacity - 1);
}

// The values of resource.ini through the profile functions.
class profile_values final : public picture_set::value_source {
public:
    explicit profile_values(const wchar_t* ini_path) noexcept : ini_path_(ini_path) {}
    size_t read(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                size_t capacity) noexcept override {
        if (capacity == 0) return 0;
        buffer[0] = L'\0';
        // Without a file the profile functions would read win.ini instead.
        if (!ini_path_[0]) return 0;
        return GetPrivateProfileStringW(section, key, L"", buffer, static_cast<DWORD>(capacity),
                                        ini_path_);
    }

private:
    const wchar_t* ini_path_;
};

void load_picture(Ctraypicture& picture, picture_set::value_source& values, const wchar_t* section,
                  const wchar_t* key, COLORREF mask_color) noexcept {
    picture.release();
    wchar_t path[picture_set::path_capacity];
    if (picture_set::picture_path(values, section, key, path)) picture.load(path, mask_color);
}

// The size of the icon when the set has no base picture: the shell's small
// icon, so that digits and overlays still have somewhere to go.
void fallback_icon_size(int32_t& width, int32_t& height) noexcept {
    auto sane = [](int value) { return value >= 1 && value <= 256 ? value : 16; };
    width = sane(GetSystemMetrics(SM_CXSMICON));
    height = sane(GetSystemMetrics(SM_CYSMICON));
}

} // namespace

// --- Ctraypicture ---------------------------------------------------------

void Ctraypicture::release() noexcept {
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
    has_alpha_ = false;
    dc_.reset();
    bitmap_.reset();
}

bool Ctraypicture::load(const wchar_t* path, COLORREF mask_color) noexcept {
    release();
    if (!path || !path[0]) return false;
    Gdiplus::GpBitmap* raw = nullptr;
    if (gdip::GdipCreateBitmapFromFile(path, &raw) != Gdiplus::Ok) return false;
    unique_gp_bitmap image(raw);
    if (!image) return false;
    UINT width = 0, height = 0;
    if (gdip::GdipGetImageWidth(image.get(), &width) != Gdiplus::Ok ||
        gdip::GdipGetImageHeight(image.get(), &height) != Gdiplus::Ok ||
        !tray_pixels::size_acceptable(width, height))
        return false;
    UINT flags = 0;
    if (gdip::GdipGetImageFlags(image.get(), &flags) != Gdiplus::Ok) flags = 0;

    const Gdiplus::GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    bits_lock lock(image.get(), whole);
    if (!lock.locked()) return false;
    const Gdiplus::BitmapData& data = lock.data();
    const int64_t stride = data.Stride;
    const int64_t row = int64_t{static_cast<INT>(width)} * 4;
    if (!data.Scan0 || data.Width != width || data.Height != height ||
        (stride < row && -stride < row))
        return false;

    uint8_t* bits = nullptr;
    unique_hbitmap bitmap =
        create_dib(static_cast<int32_t>(width), static_cast<int32_t>(height), bits);
    unique_hdc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc) return false;
    SelectObject(dc.get(), bitmap.get());
    tray_pixels::image pixels{bits, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    tray_pixels::copy_rows(pixels, static_cast<const uint8_t*>(data.Scan0), stride);

    has_alpha_ = (flags & Gdiplus::ImageFlagsHasAlpha) != 0;
    if (!has_alpha_) tray_pixels::apply_mask_color(pixels, mask_color);
    bitmap_ = std::move(bitmap);
    dc_ = std::move(dc);
    bits_ = bits;
    width_ = pixels.width;
    height_ = pixels.height;
    return true;
}

// --- Ctrayimage -----------------------------------------------------------

Ctrayimage::~Ctrayimage() = default;

bool Ctrayimage::load_images(const wchar_t* icon_set, const wchar_t* digit_set) noexcept {
    const bool icons = icon_set && !same_name(icon_set, icon_set_, icon_set_cut_);
    const bool digits = digit_set && !same_name(digit_set, digit_set_, digit_set_cut_);
    if (!icons && !digits) return true;
    if (icons) remember_name(icon_request_, icon_request_cut_, icon_set);
    if (digits) remember_name(digit_request_, digit_request_cut_, digit_set);
    load(icons ? icon_set : nullptr, digits ? digit_set : nullptr);
    return true;
}

void Ctrayimage::set_icon_size(int32_t width, int32_t height) noexcept {
    if (width <= 0 || height <= 0 || width > 256 || height > 256) width = height = 0;
    if (width == asked_width_ && height == asked_height_) return;
    asked_width_ = width;
    asked_height_ = height;
    // A name that had to be shortened cannot be looked up again; its pictures
    // stay as they are and are only laid out for the new size.
    if (icon_request_[0] && !icon_request_cut_)
        load(icon_request_, digit_request_[0] && !digit_request_cut_ ? digit_request_ : nullptr);
    else
        create_work_bitmaps();
}

void Ctrayimage::load(const wchar_t* icon_set, const wchar_t* digit_set) noexcept {
    // The mask colour is read afresh with every load, so that an edited
    // resource file applies to the pictures loaded next.
    wchar_t ini_path[picture_set::path_capacity] = {};
    m_confctl_ini store;
    if (store.open(resource_file, false))
        StringCchCopyW(ini_path, picture_set::path_capacity, store.path());
    profile_values values(ini_path);
    mask_color_ = picture_set::mask_color(values, default_mask_color);
    wchar_t previous_section[name_capacity];
    StringCchCopyW(previous_section, name_capacity, icon_section_);
    if (icon_set) load_icon_set(values, icon_set);
    // Digits drawn for the chosen icon size come along with it.
    if (!digit_set && icon_set && asked_width_ && wcscmp(previous_section, icon_section_) != 0 &&
        digit_request_[0] && !digit_request_cut_)
        digit_set = digit_request_;
    if (digit_set) load_digit_set(values, digit_set);
}

void Ctrayimage::load_icon_set(picture_set::value_source& values, const wchar_t* name) noexcept {
    icon_.reset();
    icon_set_[0] = L'\0';
    icon_set_cut_ = false;
    const wchar_t* section = load_base(values, name);
    load_picture(mute_, values, section, L"mute", mask_color_);
    load_picture(error_, values, section, L"err", mask_color_);
    if (!base_.empty()) remember_name(icon_set_, icon_set_cut_, name);
    create_work_bitmaps();
}

const wchar_t* Ctrayimage::load_base(picture_set::value_source& values,
                                     const wchar_t* name) noexcept {
    bool cut = false;
    remember_name(icon_section_, cut, name);
    wchar_t names[picture_set::max_variants][picture_set::set_name_capacity];
    const size_t count = asked_width_ ? picture_set::variants(values, name, names) : 0;
    const auto section = [&](size_t i) { return i == 0 ? name : names[i - 1]; };
    // Each candidate is loaded to learn its size; the last one stays loaded.
    tray_pixels::picture_size sizes[picture_set::max_variants + 1];
    for (size_t i = 0; i <= count; ++i) {
        load_picture(base_, values, section(i), L"icon", mask_color_);
        sizes[i] = {base_.width(), base_.height()};
    }
    size_t best = tray_pixels::best_fit(sizes, count + 1, asked_width_, asked_height_);
    if (best > count) best = 0;
    if (best != count) load_picture(base_, values, section(best), L"icon", mask_color_);
    if (best == 0) return name;
    StringCchCopyW(icon_section_, name_capacity, names[best - 1]);
    return icon_section_;
}

void Ctrayimage::load_digit_set(picture_set::value_source& values, const wchar_t* name) noexcept {
    digit_set_[0] = L'\0';
    digit_set_cut_ = false;
    const wchar_t* section = name;
    if (asked_width_ && icon_section_[0] && picture_set::has_variant(values, name, icon_section_)) {
        load_picture(tens_, values, icon_section_, L"dig10", mask_color_);
        // A variant without digits of its own keeps those of the set named.
        if (!tens_.empty()) section = icon_section_;
    }
    if (section == name) load_picture(tens_, values, name, L"dig10", mask_color_);
    bool cut = false;
    remember_name(digit_section_, cut, section);
    load_picture(ones_, values, section, L"dig01", mask_color_);
    if (!tens_.empty()) remember_name(digit_set_, digit_set_cut_, name);
    tens_offset_ = picture_set::tens_offset(values, section);
}

void Ctrayimage::create_work_bitmaps() noexcept {
    work_.reset();
    shown_.reset();
    mask_.reset();
    work_bits_ = shown_bits_ = nullptr;
    work_width_ = work_height_ = 0;
    int32_t width = base_.width(), height = base_.height();
    if (base_.empty()) {
        if (asked_width_)
            width = asked_width_, height = asked_height_;
        else
            fallback_icon_size(width, height);
    }
    uint8_t* bits = nullptr;
    work_ = create_dib(width, height, bits);
    if (!work_) return;
    work_bits_ = bits;
    work_width_ = width;
    work_height_ = height;
    scale_ = tray_pixels::whole_scale(width, height, asked_width_, asked_height_);
    if (scale_ > 0 && (width != asked_width_ || height != asked_height_)) {
        shown_ = create_dib(asked_width_, asked_height_, shown_bits_);
        if (shown_) width = asked_width_, height = asked_height_;
    }
    // An all-zero mask: the alpha channel of the picture handed over decides.
    uint8_t* mask_bits = nullptr;
    mask_ = create_dib(width, height, mask_bits);
    if (mask_bits)
        std::memset(mask_bits, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
}

HICON Ctrayimage::compose(int32_t volume, COLORREF color, bool muted, bool error) noexcept {
    if (!work_) create_work_bitmaps();
    if (!work_bits_) return icon_.get();
    // GDI may still be writing to the pictures through their DCs.
    GdiFlush();
    tray_pixels::layers pictures;
    pictures.base = base_.pixels();
    pictures.mute = mute_.pixels();
    pictures.error = error_.pixels();
    pictures.tens = tens_.pixels();
    pictures.ones = ones_.pixels();
    pictures.tens_offset = tens_offset_;
    tray_pixels::compose({work_bits_, work_width_, work_height_}, pictures, volume, color, muted,
                         error);
    if (shown_bits_)
        tray_pixels::scale_centered({shown_bits_, asked_width_, asked_height_},
                                    {work_bits_, work_width_, work_height_}, scale_);

    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = shown_bits_ ? shown_.get() : work_.get();
    info.hbmMask = mask_.get();
    // Should the system refuse, the icon built last stays: a stale picture in
    // the notification area is better than none.
    if (HICON created = CreateIconIndirect(&info)) icon_.reset(created);
    return icon_.get();
}
