// Draws a sample photograph-like picture (sky, sun, hills, a lake) and writes
// it as a JPEG, for the screenshots and the walk-through: a user's first
// theme starts from a picture like this, and no picture file needs to be
// committed.
#include "base/safe_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb pixelAt(int x, int y, int w, int h)
{
    const double u = static_cast<double>(x) / w;
    const double v = static_cast<double>(y) / h;
    // Sky from deep blue to a warm horizon.
    Rgb c = mix({40, 80, 170}, {250, 190, 120}, std::pow(v / 0.62, 1.6));
    // The sun.
    const double sx = u - 0.70, sy = v - 0.42;
    const double sun = std::sqrt(sx * sx + sy * sy * 1.8);
    if (sun < 0.07)
        c = {255, 236, 170};
    else if (sun < 0.16)
        c = mix(c, {255, 220, 150}, (0.16 - sun) / 0.09 * 0.6);
    // Two rows of hills.
    const double far = 0.55 + 0.05 * std::sin(u * 7.0 + 1.0) + 0.02 * std::sin(u * 23.0);
    const double near = 0.66 + 0.06 * std::sin(u * 4.0 + 2.5) + 0.015 * std::sin(u * 31.0);
    if (v > far)
        c = mix({90, 110, 140}, {70, 95, 120}, (v - far) * 4);
    if (v > near)
        c = mix({50, 120, 60}, {20, 70, 30}, std::min(1.0, (v - near) * 3));
    // A lake in front, mirroring the sky.
    if (v > 0.82) {
        const double ripple = 0.5 + 0.5 * std::sin(y * 1.3 + std::sin(x * 0.05) * 3);
        c = mix({60, 110, 190}, {150, 170, 210}, ripple * (v - 0.82) * 3);
    }
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    // Every argument is a path or a number: one that starts with a dash is an
    // option this program does not have (a mistyped "--help" would otherwise
    // become the name of the picture it writes).
    const bool option = argc >= 2 && std::any_of(argv + 1, argv + argc, [](const char* a) { return a[0] == '-'; });
    if (argc < 2 || argc == 3 || argc > 4 || option) {
        std::fprintf(stderr, "usage: samplepic OUT.jpg [WIDTH HEIGHT]\n");
        return 2;
    }
    const int w = argc >= 4 ? std::atoi(argv[2]) : 640;
    const int h = argc >= 4 ? std::atoi(argv[3]) : 480;
    if (w < 1 || h < 1 || w > 8000 || h > 8000) {
        std::fprintf(stderr, "samplepic: size out of range\n");
        return 1;
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    // Compressed in memory, then written like every file the project writes:
    // beside the target and renamed over it.
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    jpeg_mem_dest(&c, &encoded, &encodedSize);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb p = pixelAt(x, y, w, h);
            row[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>(std::clamp(p.r, 0.0, 255.0));
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>(std::clamp(p.g, 0.0, 255.0));
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(std::clamp(p.b, 0.0, 255.0));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const auto written = kastra::writeFileAtomic(argv[1], kastra::ByteSpan(encoded, encodedSize));
    std::free(encoded);
    if (!written) {
        std::fprintf(stderr, "samplepic: %s\n", written.error().c_str());
        return 1;
    }
    return 0;
}
