#pragma once
// Encodes small JPEGs with libjpeg for the tests and the benchmark, so no
// picture file needs to be committed.

#include "base/bytes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace kastra::test {

// components: 1 grey, 3 RGB, 4 CMYK (written with an Adobe marker, inverted
// as Adobe does). pixels: width * height * components bytes, top row first.
inline Bytes encodeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                        int quality = 100, bool progressive = false)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto* row = const_cast<JSAMPLE*>(pixels.data() + static_cast<std::size_t>(c.next_scanline)
                                                             * static_cast<std::size_t>(width * components));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

// A photograph-like 4000 x 3000 JPEG (12 megapixels): smooth gradients with
// a deterministic texture, the same bytes every run.
inline Bytes encodeTestPhoto()
{
    const int w = 4000, h = 3000;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    std::size_t i = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double fx = x / 4000.0, fy = y / 3000.0;
            const int t = ((x * 7 + y * 13) ^ (x * y)) & 15;
            px[i++] = static_cast<std::uint8_t>(std::lround(120 + 100 * std::sin(fx * 9 + fy * 2)) + t);
            px[i++] = static_cast<std::uint8_t>(std::lround(110 + 90 * std::cos(fy * 7 - fx * 3)) + t);
            px[i++] = static_cast<std::uint8_t>(std::lround(100 + 80 * std::sin((fx + fy) * 5)) + t);
        }
    return encodeJpeg(w, h, 3, px, 90);
}

} // namespace kastra::test
