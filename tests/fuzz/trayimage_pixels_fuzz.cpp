// libFuzzer target for the tray icon's pixel arithmetic. Built natively, not
// by the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/trayimage_pixels_fuzz.cpp trayimage/trayimage_pixels.cpp -o trayimage_pixels_fuzz
// Every picture size, digit offset, volume and colour the input names is
// composed into a work picture; the sanitizers catch any read or write
// outside the pictures and any overflow.

#include "trayimage/trayimage_pixels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

struct reader {
    const uint8_t* data;
    size_t size;
    template <typename T> T take() {
        T value{};
        const size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};

// A picture of up to 47 x 95 pixels filled from the input (or empty).
struct owned {
    std::vector<uint8_t> bits;
    tray_pixels::const_image view;
};

owned picture(reader& in) {
    owned p;
    const int32_t w = in.take<uint8_t>() % 48;
    const int32_t h = in.take<uint8_t>() % 96;
    p.bits.resize(size_t(w) * size_t(h) * 4);
    for (auto& b : p.bits) b = in.take<uint8_t>();
    if (w > 0 && h > 0) p.view = tray_pixels::const_image(p.bits.data(), w, h);
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reader in{data, size};
    const int32_t work_w = 1 + in.take<uint8_t>() % 48;
    const int32_t work_h = 1 + in.take<uint8_t>() % 48;
    const int32_t volume = in.take<int32_t>() % 128;
    const int32_t offset = in.take<int32_t>();
    const uint32_t colour = in.take<uint32_t>();
    const uint8_t flags = in.take<uint8_t>();
    owned base = picture(in), mute = picture(in), error = picture(in), tens = picture(in),
          ones = picture(in);

    tray_pixels::layers l;
    l.base = base.view;
    l.mute = mute.view;
    l.error = error.view;
    l.tens = tens.view;
    l.ones = ones.view;
    l.tens_offset = (flags & 4) ? offset : offset % 64;
    std::vector<uint8_t> work(size_t(work_w) * size_t(work_h) * 4);
    tray_pixels::compose({work.data(), work_w, work_h}, l, volume, colour, flags & 1, flags & 2);

    // The composed picture enlarged into an icon of another size, and the
    // choice among the pictures' sizes.
    const int32_t asked_w = 1 + in.take<uint8_t>() % 64;
    const int32_t asked_h = 1 + in.take<uint8_t>() % 64;
    std::vector<uint8_t> shown(size_t(asked_w) * size_t(asked_h) * 4);
    const int32_t factor = tray_pixels::whole_scale(work_w, work_h, asked_w, asked_h);
    tray_pixels::scale_centered({shown.data(), asked_w, asked_h}, {work.data(), work_w, work_h},
                                (flags & 8) ? factor + 1 : factor);
    const tray_pixels::picture_size sizes[] = {{base.view.width, base.view.height},
                                               {tens.view.width, tens.view.height},
                                               {in.take<int32_t>(), in.take<int32_t>()},
                                               {work_w, work_h}};
    const size_t best = tray_pixels::best_fit(sizes, std::size(sizes), asked_w, asked_h);
    if (best >= std::size(sizes)) std::abort(); // the work picture is never empty

    // The mask colour and row copy on a picture of the same input.
    tray_pixels::image mutable_view{work.data(), work_w, work_h};
    tray_pixels::apply_mask_color(mutable_view, colour);
    if (!base.bits.empty()) {
        tray_pixels::image copy{work.data(), std::min(work_w, base.view.width),
                                std::min(work_h, base.view.height)};
        if (base.view.width == copy.width)
            tray_pixels::copy_rows(copy, base.bits.data(), int64_t{copy.width} * 4);
    }
    return 0;
}
