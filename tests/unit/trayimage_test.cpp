// The tray image set on real files: pictures written into a temporary
// program folder and loaded through GDI+, and the pictures the build ships.

#include "common/gdiplus_include.h"
#include "trayimage/trayimage.h"
#include "tests/support/files.h"
#include "tests/unit/picture_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

using test_pictures::picture;
using test_pictures::rgba;
using test_support::temp_folder;

namespace {

struct gdiplus_session : ::testing::Environment {
    ULONG_PTR token = 0;
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token); }
};
[[maybe_unused]] ::testing::Environment* const gdiplus =
    ::testing::AddGlobalTestEnvironment(new gdiplus_session);

using bgra = std::array<int, 4>;

bgra pixel(const tray_pixels::const_image& image, int32_t x, int32_t y) {
    const uint8_t* p = image.bits + (size_t(y) * size_t(image.width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}
bgra pixel(const Ctraypicture& picture, int32_t x, int32_t y) {
    return pixel(picture.pixels(), x, y);
}

SIZE icon_size(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

constexpr rgba magenta{255, 0, 255, 255};
constexpr rgba white{255, 255, 255, 255};

// A strip of white glyphs; glyph i has a marker pixel at its top left whose
// blue is 10 * i, so that the glyph drawn can be told from the icon.
picture strip(int32_t width, int32_t glyph_height, int32_t count) {
    picture p(width, glyph_height * count, white);
    for (int32_t i = 0; i < count; ++i)
        p.at(0, i * glyph_height) = rgba{255, 255, uint8_t(10 * i), 255};
    return p;
}

// A program folder with a resource folder, made the current directory for
// the test, as the program's own folder is at run time.
class resource_folder : public ::testing::Test {
protected:
    temp_folder folder{L"qbtray"};
    std::wstring previous;

    void SetUp() override {
        wchar_t current[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, current);
        previous = current;
        ASSERT_TRUE(CreateDirectoryW(folder.file(L"resource").c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryW(previous.c_str()); }

    void ini(const std::string& text) {
        ASSERT_TRUE(test_support::write_ascii(folder.file(L"resource\\resource.ini"), text));
    }
    void file(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(test_support::write_bytes(folder.file(L"resource\\" + name), bytes));
    }
    void png(const std::wstring& name, const picture& p, bool alpha = true) {
        file(name, test_pictures::png_file(p, alpha));
    }

    // Set "s": 16 x 16 base, mute and error overlays; digit set "d": strips
    // of 8 x 8 tens and 5 x 8 ones glyphs, dig01_w 5.
    void standard_sets() {
        ini("[s]\r\nicon=base.png\r\nmute=mute.png\r\nerr=err.png\r\n"
            "[d]\r\ndig10=tens.png\r\ndig01=ones.png\r\ndig01_w=5\r\n");
        picture base(16, 16, rgba{10, 20, 30, 255});
        base.at(15, 0) = rgba{0, 0, 0, 0};
        png(L"base.png", base);
        picture mute(16, 16);
        mute.at(1, 1) = rgba{200, 0, 0, 255};
        mute.at(2, 1) = rgba{200, 0, 0, 128};
        png(L"mute.png", mute);
        picture err(16, 16);
        err.at(1, 1) = rgba{0, 200, 0, 255};
        png(L"err.png", err);
        png(L"tens.png", strip(8, 8, 11));
        png(L"ones.png", strip(5, 8, 10));
    }
};

TEST_F(resource_folder, loads_an_icon_set_and_a_digit_set) {
    standard_sets();
    Ctrayimage tray;
    EXPECT_TRUE(tray.load_images(L"s", L"d"));
    EXPECT_STREQ(tray.icon_set(), L"s");
    EXPECT_STREQ(tray.digit_set(), L"d");
    ASSERT_FALSE(tray.base_picture().empty());
    EXPECT_EQ(tray.base_picture().width(), 16);
    EXPECT_EQ(tray.base_picture().height(), 16);
    EXPECT_TRUE(tray.base_picture().has_alpha());
    EXPECT_NE(tray.base_picture().dc(), nullptr);
    EXPECT_EQ(pixel(tray.base_picture(), 3, 3), (bgra{30, 20, 10, 255}));
    EXPECT_EQ(pixel(tray.base_picture(), 15, 0), (bgra{0, 0, 0, 0}));
    EXPECT_EQ(pixel(tray.mute_picture(), 2, 1), (bgra{0, 0, 200, 128}));
    EXPECT_EQ(tray.tens_picture().height(), 88);
    EXPECT_EQ(tray.ones_picture().height(), 80);
    EXPECT_EQ(tray.tens_offset(), 5);
}

TEST_F(resource_folder, composes_digits_and_overlays_into_the_icon) {
    standard_sets();
    Ctrayimage tray;
    tray.load_images(L"s", L"d");

    HICON icon = tray.compose(100, RGB(0, 255, 0), false, false);
    ASSERT_NE(icon, nullptr);
    SIZE size = icon_size(icon);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 16);
    auto work = tray.work_pixels();
    // Tens glyph 10 at (3, 8): its marker has blue 100, tinted green leaves
    // blue max(0, 100 - 255) = 0; the glyph's white takes the colour.
    EXPECT_EQ(pixel(work, 4, 9), (bgra{0, 255, 0, 255}));
    EXPECT_EQ(pixel(work, 11, 8), (bgra{0, 255, 0, 255}));
    EXPECT_EQ(pixel(work, 2, 8), (bgra{30, 20, 10, 255}));
    EXPECT_EQ(pixel(work, 15, 0), (bgra{0, 0, 0, 0}));

    // White keeps the markers: tens glyph 0 and ones glyph 7 for volume 7.
    tray.compose(7, RGB(255, 255, 255), false, false);
    work = tray.work_pixels();
    EXPECT_EQ(pixel(work, 3, 8)[0], 0);
    EXPECT_EQ(pixel(work, 11, 8)[0], 70);

    // No digits beyond 0..100; the overlays are drawn, the error over the mute.
    tray.compose(101, RGB(255, 255, 255), true, false);
    work = tray.work_pixels();
    EXPECT_EQ(pixel(work, 11, 8), (bgra{30, 20, 10, 255}));
    EXPECT_EQ(pixel(work, 1, 1), (bgra{0, 0, 200, 255}));
    // 30 + ((0 - 30) * 128 >> 8) = 15, 10 + ((200 - 10) * 128 >> 8) = 105,
    // alpha 128 + (127 * 255 >> 8) = 254.
    EXPECT_EQ(pixel(work, 2, 1), (bgra{15, 10, 105, 254}));
    tray.compose(-1, RGB(255, 255, 255), true, true);
    EXPECT_EQ(pixel(tray.work_pixels(), 1, 1), (bgra{0, 200, 0, 255}));
}

TEST_F(resource_folder, the_icon_shows_its_alpha_when_drawn) {
    standard_sets();
    Ctrayimage tray;
    tray.load_images(L"s", L"d");
    HICON icon = tray.compose(42, RGB(255, 0, 0), false, false);
    ASSERT_NE(icon, nullptr);

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    unique_hbitmap target(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(target);
    auto* px = static_cast<uint32_t*>(bits);
    std::fill(px, px + 256, 0x00345678u);
    unique_hdc dc(CreateCompatibleDC(nullptr));
    {
        select_guard selected(dc.get(), target.get());
        ASSERT_TRUE(DrawIconEx(dc.get(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
        GdiFlush();
    }
    EXPECT_EQ(px[0 * 16 + 15] & 0xFFFFFFu, 0x345678u);  // transparent corner: background
    EXPECT_EQ(px[10 * 16 + 13] & 0xFFFFFFu, 0xFF0000u); // digit pixel: red (B G R in memory)
    EXPECT_EQ(px[2 * 16 + 2] & 0xFFFFFFu, 0x0A141Eu);   // base pixel (R 10, G 20, B 30)
}

TEST_F(resource_folder, pictures_without_alpha_lose_the_mask_colour) {
    ini("[s]\r\nicon=base.bmp\r\nmute=mute.png\r\nerr=err.png\r\n");
    picture p(4, 4, rgba{1, 2, 3, 255});
    p.at(0, 0) = magenta;
    p.at(1, 0) = rgba{254, 0, 255, 255};
    file(L"base.bmp", test_pictures::bmp_file(p));
    png(L"mute.png", p, false); // RGB PNG: no alpha channel either
    png(L"err.png", p, true);   // with alpha the mask colour is an ordinary colour
    Ctrayimage tray;
    tray.load_images(L"s", nullptr);
    for (const Ctraypicture* without : {&tray.base_picture(), &tray.mute_picture()}) {
        ASSERT_FALSE(without->empty());
        EXPECT_FALSE(without->has_alpha());
        EXPECT_EQ(pixel(*without, 0, 0), (bgra{0, 0, 0, 0}));
        EXPECT_EQ(pixel(*without, 1, 0), (bgra{255, 0, 254, 255}));
        EXPECT_EQ(pixel(*without, 2, 2), (bgra{3, 2, 1, 255}));
    }
    EXPECT_TRUE(tray.error_picture().has_alpha());
    EXPECT_EQ(pixel(tray.error_picture(), 0, 0), (bgra{255, 0, 255, 255}));
    EXPECT_EQ(tray.mask_color(), RGB(255, 0, 255));
}

TEST_F(resource_folder, the_mask_colour_comes_from_icondefs) {
    ini("[icondefs]\r\nmaskcolor=#010203\r\n[s]\r\nicon=base.png\r\n");
    picture p(2, 1, magenta);
    p.at(1, 0) = rgba{1, 2, 3, 255};
    png(L"base.png", p, false);
    Ctrayimage tray;
    tray.load_images(L"s", nullptr);
    EXPECT_EQ(tray.mask_color(), RGB(1, 2, 3));
    EXPECT_EQ(pixel(tray.base_picture(), 0, 0), (bgra{255, 0, 255, 255}));
    EXPECT_EQ(pixel(tray.base_picture(), 1, 0), (bgra{0, 0, 0, 0}));
}

TEST_F(resource_folder, a_loaded_name_is_not_loaded_again) {
    standard_sets();
    ini("[s]\r\nicon=base.png\r\n[t]\r\nicon=other.png\r\n[d]\r\ndig10=tens.png\r\ndig01=ones."
        "png\r\n");
    png(L"other.png", picture(16, 16, white));
    Ctrayimage tray;
    tray.load_images(L"s", L"d");
    png(L"base.png", picture(16, 16, rgba{99, 99, 99, 255}));
    png(L"tens.png", strip(8, 16, 11));

    tray.load_images(L"s", L"d");
    EXPECT_EQ(pixel(tray.base_picture(), 3, 3), (bgra{30, 20, 10, 255}));
    EXPECT_EQ(tray.tens_picture().height(), 88);
    tray.load_images(nullptr, nullptr);
    EXPECT_EQ(pixel(tray.base_picture(), 3, 3), (bgra{30, 20, 10, 255}));

    // Another name, then the first again: now the file is read anew.
    tray.load_images(L"t", nullptr);
    EXPECT_STREQ(tray.icon_set(), L"t");
    EXPECT_EQ(tray.tens_picture().height(), 88); // the digits were not asked for
    tray.load_images(L"s", nullptr);
    EXPECT_EQ(pixel(tray.base_picture(), 3, 3), (bgra{99, 99, 99, 255}));
    EXPECT_STREQ(tray.digit_set(), L"d");
}

TEST_F(resource_folder, without_resources_the_icon_is_still_built) {
    // No resource.ini at all.
    Ctrayimage tray;
    EXPECT_TRUE(tray.load_images(L"default", L"default"));
    EXPECT_TRUE(tray.base_picture().empty());
    EXPECT_TRUE(tray.tens_picture().empty());
    EXPECT_STREQ(tray.icon_set(), L"");
    EXPECT_STREQ(tray.digit_set(), L"");
    HICON icon = tray.compose(50, RGB(0, 255, 0), true, true);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon_size(icon).cx, GetSystemMetrics(SM_CXSMICON));

    // Even before anything was loaded.
    Ctrayimage fresh;
    EXPECT_NE(fresh.compose(50, RGB(0, 255, 0), false, false), nullptr);
}

TEST_F(resource_folder, missing_sections_and_files_leave_pictures_empty) {
    ini("[s]\r\nicon=absent.png\r\nmute=mute.png\r\n[d]\r\ndig01=ones.png\r\ndig01_w=3\r\n");
    png(L"mute.png", picture(16, 16, white));
    png(L"ones.png", strip(5, 8, 10));
    Ctrayimage tray;
    tray.load_images(L"nosuchset", L"nosuchdigits");
    EXPECT_TRUE(tray.base_picture().empty());
    EXPECT_TRUE(tray.mute_picture().empty());

    tray.load_images(L"s", L"d");
    EXPECT_TRUE(tray.base_picture().empty());
    EXPECT_FALSE(tray.mute_picture().empty());
    EXPECT_STREQ(tray.icon_set(), L""); // remembered only with a base picture
    EXPECT_FALSE(tray.ones_picture().empty());
    EXPECT_STREQ(tray.digit_set(), L""); // remembered only with a tens strip
    EXPECT_EQ(tray.tens_offset(), 3);
    HICON icon = tray.compose(5, RGB(255, 255, 255), false, false);
    ASSERT_NE(icon, nullptr);

    // Because the names were not remembered, the same names load again once
    // the pictures are there.
    png(L"absent.png", picture(16, 16, white));
    tray.load_images(L"s", nullptr);
    EXPECT_FALSE(tray.base_picture().empty());
    EXPECT_STREQ(tray.icon_set(), L"s");
}

TEST_F(resource_folder, tens_offset_is_a_signed_number) {
    const std::pair<const char*, int32_t> cases[] = {
        {"dig01_w=+7\r\n", 7}, {"dig01_w=-3\r\n", -3}, {"dig01_w=12px\r\n", 12}, {"", 0}};
    png(L"tens.png", strip(8, 8, 11));
    for (const auto& [line, expected] : cases) {
        ini(std::string("[d]\r\ndig10=tens.png\r\n") + line +
            "[e]\r\ndig10=tens.png\r\ndig01_w=9\r\n");
        Ctrayimage tray;
        tray.load_images(nullptr, L"e");
        tray.load_images(nullptr, L"d");
        EXPECT_EQ(tray.tens_offset(), expected) << line;
    }
}

TEST_F(resource_folder, long_set_names_load_every_time) {
    const std::wstring name(40, L'n');
    ini("[" + std::string(40, 'n') + "]\r\nicon=base.png\r\n");
    png(L"base.png", picture(16, 16, white));
    Ctrayimage tray;
    tray.load_images(name.c_str(), nullptr);
    EXPECT_FALSE(tray.base_picture().empty());
    EXPECT_EQ(std::wstring(tray.icon_set()), name.substr(0, 31));
    png(L"base.png", picture(16, 16, rgba{1, 1, 1, 255}));
    tray.load_images(name.c_str(), nullptr);
    EXPECT_EQ(pixel(tray.base_picture(), 0, 0), (bgra{1, 1, 1, 255}));
    // The shortened name is another set, not the one loaded.
    tray.load_images(name.substr(0, 31).c_str(), nullptr);
    EXPECT_TRUE(tray.base_picture().empty());
}

TEST_F(resource_folder, overlong_picture_values_are_cut_safely) {
    ini("[s]\r\nicon=" + std::string(400, 'x') + ".png\r\n");
    Ctrayimage tray;
    tray.load_images(L"s", nullptr);
    EXPECT_TRUE(tray.base_picture().empty());
    EXPECT_NE(tray.compose(1, 0, false, false), nullptr);
}

struct bad_file {
    const char* what;
    std::vector<uint8_t> bytes;
};

std::vector<bad_file> bad_files() {
    std::vector<uint8_t> good = test_pictures::png_file(picture(16, 16, white));
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
    return {
        {"truncated",
         std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2))},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 33)},
        {"garbage", garbage},
        {"empty", {}},
        {"zero size", test_pictures::png_with_size(0, 0)},
        {"huge size", test_pictures::png_with_size(100000, 100000)},
        {"wider than accepted", test_pictures::png_file(picture(5000, 1, white))},
    };
}

class corrupt_picture : public resource_folder, public ::testing::WithParamInterface<size_t> {};

TEST_P(corrupt_picture, leaves_the_picture_empty_and_composes) {
    const bad_file bad = bad_files()[GetParam()];
    ini("[s]\r\nicon=bad.png\r\nmute=bad.png\r\n[d]\r\ndig10=bad.png\r\ndig01=bad.png\r\n");
    file(L"bad.png", bad.bytes);
    Ctrayimage tray;
    EXPECT_TRUE(tray.load_images(L"s", L"d"));
    EXPECT_TRUE(tray.base_picture().empty()) << bad.what;
    EXPECT_TRUE(tray.mute_picture().empty()) << bad.what;
    EXPECT_TRUE(tray.tens_picture().empty()) << bad.what;
    EXPECT_NE(tray.compose(100, RGB(0, 255, 0), true, false), nullptr) << bad.what;
}

INSTANTIATE_TEST_SUITE_P(files, corrupt_picture, ::testing::Range<size_t>(0, 7));

// --- The pictures the build ships ------------------------------------------

std::wstring build_folder() {
    return test_support::exe_folder() + L"\\..";
}

std::vector<std::wstring> listed_sets(const std::wstring& ini_path, const wchar_t* prefix) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 20; ++i) {
        wchar_t key[16], value[64];
        swprintf(key, 16, L"%ls%02d", prefix, i);
        if (GetPrivateProfileStringW(L"sections", key, L"", value, 64, ini_path.c_str()) > 0)
            names.push_back(value);
    }
    return names;
}

std::vector<uint8_t> glyph_bytes(const Ctraypicture& strip, int32_t count, int32_t index) {
    const int32_t h = strip.height() / count;
    const uint8_t* start =
        strip.pixels().bits + size_t(index) * size_t(h) * size_t(strip.width()) * 4;
    return std::vector<uint8_t>(start, start + size_t(h) * size_t(strip.width()) * 4);
}

bool has_alpha_value(const Ctraypicture& p, int value) {
    for (int32_t y = 0; y < p.height(); ++y)
        for (int32_t x = 0; x < p.width(); ++x)
            if (pixel(p, x, y)[3] == value) return true;
    return false;
}

class shipped_resources : public ::testing::Test {
protected:
    std::wstring previous;
    std::wstring ini_path;

    void SetUp() override {
        wchar_t current[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, current);
        previous = current;
        ASSERT_TRUE(SetCurrentDirectoryW((build_folder() + L"\\bin").c_str()));
        wchar_t full[MAX_PATH];
        GetFullPathNameW(L"resource\\resource.ini", MAX_PATH, full, nullptr);
        ini_path = full;
        ASSERT_TRUE(test_support::file_exists(ini_path)) << "build the resources first";
    }
    void TearDown() override { SetCurrentDirectoryW(previous.c_str()); }
};

TEST_F(shipped_resources, every_icon_set_loads_with_its_overlays) {
    const auto sets = listed_sets(ini_path, L"icon");
    ASSERT_GE(sets.size(), 3u);
    bool has_default = false, has_32 = false, has_masked = false;
    for (const auto& name : sets) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        wchar_t desc[64];
        EXPECT_GT(GetPrivateProfileStringW(name.c_str(), L"desc", L"", desc, 64, ini_path.c_str()),
                  0u);
        Ctrayimage tray;
        tray.load_images(name.c_str(), nullptr);
        EXPECT_EQ(std::wstring(tray.icon_set()), name);
        const Ctraypicture& base = tray.base_picture();
        ASSERT_FALSE(base.empty());
        EXPECT_EQ(base.width(), base.height());
        for (const Ctraypicture* overlay : {&tray.mute_picture(), &tray.error_picture()}) {
            ASSERT_FALSE(overlay->empty());
            EXPECT_EQ(overlay->width(), base.width());
            EXPECT_EQ(overlay->height(), base.height());
            EXPECT_TRUE(has_alpha_value(*overlay, 0));
            EXPECT_TRUE(has_alpha_value(*overlay, 255));
        }
        EXPECT_TRUE(has_alpha_value(base, 0));
        EXPECT_TRUE(has_alpha_value(base, 255));
        if (name == L"default") {
            has_default = true;
            EXPECT_EQ(base.width(), 16);
        }
        has_32 = has_32 || base.width() == 32;
        has_masked = has_masked || !base.has_alpha(); // and has_alpha_value(base, 0) above
        EXPECT_NE(tray.compose(55, RGB(0, 255, 0), true, true), nullptr);
    }
    EXPECT_TRUE(has_default);
    EXPECT_TRUE(has_32);
    EXPECT_TRUE(has_masked);
}

TEST_F(shipped_resources, every_digit_set_has_distinct_glyphs_that_fit) {
    const auto sets = listed_sets(ini_path, L"dig");
    ASSERT_GE(sets.size(), 2u);
    bool has_default = false, has_masked = false;
    for (const auto& name : sets) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        has_default = has_default || name == L"default";
        Ctrayimage tray;
        tray.load_images(name.c_str(), name.c_str());
        EXPECT_EQ(std::wstring(tray.digit_set()), name);
        const Ctraypicture& tens = tray.tens_picture();
        const Ctraypicture& ones = tray.ones_picture();
        ASSERT_FALSE(tens.empty());
        ASSERT_FALSE(ones.empty());
        EXPECT_EQ(tens.height() % 11, 0);
        EXPECT_EQ(ones.height() % 10, 0);
        has_masked = has_masked || (!tens.has_alpha() && has_alpha_value(tens, 0));

        std::set<std::vector<uint8_t>> seen;
        for (int32_t i = 0; i < 11; ++i)
            EXPECT_TRUE(seen.insert(glyph_bytes(tens, 11, i)).second) << "tens " << i;
        seen.clear();
        for (int32_t i = 0; i < 10; ++i)
            EXPECT_TRUE(seen.insert(glyph_bytes(ones, 10, i)).second) << "ones " << i;
        // Tens glyph 0 is blank, so 7 shows as "7".
        for (uint8_t byte : glyph_bytes(tens, 11, 0)) ASSERT_EQ(byte, 0);

        // The digits sit side by side within the set's own icon, and a white
        // glyph shows the colour exactly.
        const Ctraypicture& base = tray.base_picture();
        const int32_t icon_width = base.empty() ? 16 : base.width();
        EXPECT_GE(tray.tens_offset(), ones.width());
        EXPECT_LE(tray.tens_offset() + tens.width(), icon_width);
        EXPECT_LE(tens.height() / 11, base.empty() ? 16 : base.height());
        tray.compose(100, RGB(0, 255, 0), false, false);
        int green = 0;
        const auto work = tray.work_pixels();
        for (int32_t y = 0; y < work.height; ++y)
            for (int32_t x = 0; x < work.width; ++x)
                green += pixel(work, x, y) == bgra{0, 255, 0, 255};
        EXPECT_GE(green, 12); // three digits' worth
    }
    EXPECT_TRUE(has_default);
    EXPECT_TRUE(has_masked);
}

// The speaker is drawn for 100 %, 150 % and 200 %: each size finds its own
// drawing, with digits that fit it, whichever of the three the user chose.
TEST_F(shipped_resources, the_speaker_has_a_drawing_for_each_common_tray_size) {
    for (const wchar_t* chosen : {L"default", L"medium", L"large"})
        for (int32_t size : {16, 24, 32}) {
            SCOPED_TRACE(::testing::Message() << size << " px");
            Ctrayimage tray;
            tray.set_icon_size(size, size);
            tray.load_images(chosen, chosen);
            EXPECT_EQ(tray.base_picture().width(), size);
            EXPECT_STREQ(tray.digit_section(), tray.icon_section());
            EXPECT_LE(tray.tens_offset() + tray.tens_picture().width(), size);
            EXPECT_EQ(icon_size(tray.compose(100, RGB(0, 255, 0), false, false)).cx, size);
        }
}

TEST_F(shipped_resources, the_program_icon_has_16_32_and_48_pixel_images) {
    const std::wstring path = build_folder() + L"\\generated\\zuvo.ico";
    const auto bytes = test_support::read_bytes(path);
    ASSERT_GE(bytes.size(), 6u + 3 * 16);
    EXPECT_EQ(bytes[2] | (bytes[3] << 8), 1); // an icon, not a cursor
    ASSERT_EQ(bytes[4] | (bytes[5] << 8), 3);
    std::set<int> sizes;
    for (int i = 0; i < 3; ++i) sizes.insert(bytes[6 + 16 * i]);
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(icon_size(icon).cx, size);
        DestroyIcon(icon);
    }
}

} // namespace

// Set "a" (16 px) names "b" (24 px, own digits) and "c" (32 px, no digits)
// as drawn for other sizes; each base picture is one colour.
class sized_sets : public resource_folder {
protected:
    void SetUp() override {
        resource_folder::SetUp();
        ini("[a]\r\nicon=a.png\r\ndig10=ta.png\r\ndig01=oa.png\r\nvariants= b ,c\r\n"
            "[b]\r\nicon=b.png\r\ndig10=tb.png\r\ndig01=ob.png\r\n[c]\r\nicon=c.png\r\n");
        png(L"a.png", picture(16, 16, rgba{10, 0, 0, 255}));
        png(L"b.png", picture(24, 24, rgba{20, 0, 0, 255}));
        png(L"c.png", picture(32, 32, rgba{30, 0, 0, 255}));
        png(L"ta.png", strip(8, 8, 11));
        png(L"oa.png", strip(5, 8, 10));
        png(L"tb.png", strip(8, 12, 11));
        png(L"ob.png", strip(5, 12, 10));
    }
};

TEST_F(sized_sets, the_variant_that_fills_the_asked_size_is_loaded_with_its_digits) {
    const struct {
        int32_t asked;
        const wchar_t* section;
        const wchar_t* digits;
        int32_t icon; // the size handed over
    } cases[] = {
        {0, L"a", L"a", 16},  {16, L"a", L"a", 16}, {20, L"a", L"a", 20},
        {24, L"b", L"b", 24}, {32, L"c", L"a", 32}, // c has no digits: those of a stay
        {48, L"b", L"b", 48}, {8, L"a", L"a", 16},  // nothing fits: the smallest, as it is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        Ctrayimage tray;
        tray.set_icon_size(c.asked, c.asked);
        tray.load_images(L"a", L"a");
        EXPECT_STREQ(tray.icon_set(), L"a");
        EXPECT_STREQ(tray.icon_section(), c.section);
        EXPECT_STREQ(tray.digit_section(), c.digits);
        const SIZE size = icon_size(tray.compose(55, RGB(0, 255, 0), false, false));
        EXPECT_EQ(size.cx, c.icon);
        EXPECT_EQ(size.cy, c.icon);
    }
}

TEST_F(sized_sets, a_new_size_chooses_again_and_the_digits_follow) {
    Ctrayimage tray;
    tray.load_images(L"a", L"a");
    tray.set_icon_size(24, 24);
    EXPECT_STREQ(tray.icon_section(), L"b");
    EXPECT_EQ(tray.tens_picture().height(), 132) << "the 24-pixel digits";
    tray.set_icon_size(0, 0);
    EXPECT_STREQ(tray.icon_section(), L"a");
    EXPECT_EQ(tray.tens_picture().height(), 88);
    // Digits of another set that does not name the chosen section stay.
    ini("[a]\r\nicon=a.png\r\nvariants=b\r\n[b]\r\nicon=b.png\r\n[d]\r\ndig10=ta.png\r\n");
    Ctrayimage other;
    other.set_icon_size(24, 24);
    other.load_images(L"a", L"d");
    EXPECT_STREQ(other.icon_section(), L"b");
    EXPECT_STREQ(other.digit_section(), L"d");
}

TEST_F(sized_sets, a_set_without_a_fitting_variant_is_enlarged_by_whole_pixels_and_centred) {
    ini("[p]\r\nicon=a.png\r\n");
    png(L"a.png", picture(16, 16, rgba{10, 0, 0, 255}));
    const struct {
        int32_t asked, first, last; // the rows and columns the picture covers
    } cases[] = {{24, 4, 19}, {32, 0, 31}, {40, 4, 35}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        Ctrayimage tray;
        tray.set_icon_size(c.asked, c.asked);
        tray.load_images(L"p", nullptr);
        tray.compose(-1, RGB(0, 255, 0), false, false);
        const tray_pixels::const_image shown = tray.work_pixels();
        ASSERT_EQ(shown.width, c.asked);
        for (int32_t i = 0; i < c.asked; ++i) {
            const bool inside = i >= c.first && i <= c.last;
            EXPECT_EQ(pixel(shown, i, i), inside ? (bgra{0, 0, 10, 255}) : (bgra{0, 0, 0, 0})) << i;
        }
    }
}

TEST(picture_set_variants, names_are_trimmed_and_bad_ones_skipped) {
    struct one_value final : picture_set::value_source {
        const wchar_t* text;
        explicit one_value(const wchar_t* t) : text(t) {}
        size_t read(const wchar_t*, const wchar_t* key, wchar_t* buffer,
                    size_t capacity) noexcept override {
            if (wcscmp(key, L"variants") != 0) return 0;
            const std::wstring value = std::wstring(text).substr(0, capacity - 1);
            std::copy(value.begin(), value.end(), buffer);
            buffer[value.size()] = L'\0';
            return value.size();
        }
    };
    const struct {
        const wchar_t* value;
        std::vector<std::wstring> names;
    } cases[] = {
        {L"", {}},
        {L"b", {L"b"}},
        {L" b ,\tc\t,, ,d", {L"b", L"c", L"d"}},
        {L"0123456789012345678901234567890,x", {L"0123456789012345678901234567890", L"x"}},
        {L"01234567890123456789012345678901,x", {L"x"}}, // 32 characters: no such set
        {L"1,2,3,4,5,6,7,8,9", {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8"}},
    };
    for (const auto& c : cases) {
        one_value values(c.value);
        wchar_t names[picture_set::max_variants][picture_set::set_name_capacity];
        const size_t count = picture_set::variants(values, L"s", names);
        std::vector<std::wstring> found(names, names + count);
        EXPECT_EQ(found, c.names) << "\"" << ::testing::PrintToString(std::wstring(c.value));
    }
    one_value values(L"Big, other");
    EXPECT_TRUE(picture_set::has_variant(values, L"s", L"S"));
    EXPECT_TRUE(picture_set::has_variant(values, L"s", L"bIG"));
    EXPECT_FALSE(picture_set::has_variant(values, L"s", L"big2"));
}
