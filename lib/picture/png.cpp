#include "picture/png.h"

#include "picture/errors.h"
#include "picture/exif.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <png.h>

namespace kastra {

namespace {

constexpr std::size_t SignatureSize = 8;

// Everything libpng may change between setjmp and a jump back lives here, on
// the heap, so no local of the frame that calls setjmp changes meanwhile.
struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ByteSpan data;
    std::size_t pos = 0;
    Bitmap picture;
    std::vector<png_bytep> rows;
    OversizedPicture oversized;
    char why[256] = {};
};

extern "C" void onPngError(png_structp png, png_const_charp message)
{
    auto* d = static_cast<Decoder*>(png_get_error_ptr(png));
    std::snprintf(d->why, sizeof d->why, "Cannot decode PNG: %s", message);
    png_longjmp(png, 1);
}

extern "C" void onPngWarning(png_structp, png_const_charp) {}

extern "C" void readPngData(png_structp png, png_bytep out, png_size_t length)
{
    auto* d = static_cast<Decoder*>(png_get_io_ptr(png));
    if (d->data.size() - d->pos < length)
        png_error(png, "the file ends before the picture does");
    std::memcpy(out, d->data.data() + d->pos, length);
    d->pos += length;
}

// Reads the header, checks the size and decodes into d->picture. Called
// between setjmp and the end of the decode: no object with a destructor
// lives in this frame.
bool decodeInto(Decoder* d)
{
    png_structp png = d->png;
    png_infop info = d->info;
    png_read_info(png, info);
    const std::int64_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w <= 0 || h <= 0 || w > Bitmap::MaxDimension || h > Bitmap::MaxDimension || w * h > MaxPngPixels) {
        d->oversized = OversizedPicture{w, h};
        std::snprintf(d->why, sizeof d->why, "PNG picture is too large (%lld x %lld)", static_cast<long long>(w),
                      static_cast<long long>(h));
        return false;
    }
    // Whatever the file holds becomes blue, green, red bytes, the order of a
    // 24-bit BMP row.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 3) {
        std::snprintf(d->why, sizeof d->why, "Cannot decode PNG: unexpected pixel layout");
        return false;
    }
    d->picture = Bitmap::create(static_cast<int>(w), static_cast<int>(h), 24);
    d->rows.resize(static_cast<std::size_t>(h));
    for (int y = 0; y < static_cast<int>(h); ++y)
        d->rows[static_cast<std::size_t>(y)] = d->picture.rowPtr(y);
    // The rest of the file (text, time, the end chunk) is not read: nothing
    // after the picture changes it, and a stream of surplus data there would
    // only cost time.
    png_read_image(png, d->rows.data());
    return true;
}

} // namespace

bool isPng(ByteSpan data)
{
    return data.size() >= SignatureSize && png_sig_cmp(data.data(), 0, SignatureSize) == 0;
}

Result<Bitmap> decodePng(ByteSpan data, OversizedPicture* oversized)
{
    if (data.empty())
        return fail(PictureError::Truncated, "Empty PNG file");
    if (!isPng(data))
        return fail(PictureError::WrongFormat, "Not a PNG file");
    const auto d = std::make_unique<Decoder>();
    d->data = data;
    d->pos = SignatureSize;
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d.get(), onPngError, onPngWarning);
    if (!d->png)
        return fail(PictureError::TooLarge, "No memory");
    d->info = png_create_info_struct(d->png);
    if (!d->info) {
        png_destroy_read_struct(&d->png, nullptr, nullptr);
        return fail(PictureError::TooLarge, "No memory");
    }
    if (setjmp(png_jmpbuf(d->png))) {
        png_destroy_read_struct(&d->png, &d->info, nullptr);
        return fail(PictureError::Damaged, d->why);
    }
    png_set_read_fn(d->png, d.get(), readPngData);
    png_set_sig_bytes(d->png, static_cast<int>(SignatureSize));
    // Text and other side chunks before the picture are kept only up to
    // these bounds, so a file of them cannot fill the memory.
    png_set_chunk_cache_max(d->png, 256);
    png_set_chunk_malloc_max(d->png, 8 * 1024 * 1024);
    const bool ok = decodeInto(d.get());
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    if (!ok) {
        if (oversized && d->oversized.width > 0 && d->oversized.height > 0)
            *oversized = d->oversized;
        return fail(d->oversized.width > 0 ? PictureError::TooLarge : PictureError::Damaged, d->why);
    }
    if (!orientUpright(d->picture, exifOrientation(pngExif(data))))
        return fail(PictureError::TooLarge, "No memory to turn the picture upright");
    return std::move(d->picture);
}

} // namespace kastra
