#include "picture/jpeg.h"

#include "base/fileio.h"
#include "picture/errors.h"
#include "picture/exif.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace kastra {

namespace {

// libjpeg reports fatal errors by calling error_exit, which by default ends
// the process. Ours jumps back to the decode call instead. Only C frames of
// libjpeg lie between the jump and its target, and the target frame holds
// nothing that is changed after setjmp.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

extern "C" void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

extern "C" void onMessage(j_common_ptr cinfo, int level)
{
    // Warnings are not printed; a premature end of data is remembered, since a
    // half-grey picture is not what the user asked to import.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->truncated = true;
}

extern "C" void onOutput(j_common_ptr) {}

// Reads the header, checks the size and decodes into out. Called between
// setjmp and the end of the decode: no object with a destructor lives here.
bool decodeInto(jpeg_decompress_struct* cinfo, Bitmap* out, char* why, std::size_t whySize, OversizedPicture* oversized)
{
    jpeg_read_header(cinfo, TRUE);
    const std::int64_t w = cinfo->image_width, h = cinfo->image_height;
    if (w <= 0 || h <= 0 || w > Bitmap::MaxDimension || h > Bitmap::MaxDimension || w * h > MaxJpegPixels) {
        if (w > 0 && h > 0)
            *oversized = OversizedPicture{w, h};
        std::snprintf(why, whySize, "JPEG picture is too large (%lld x %lld)", static_cast<long long>(w),
                      static_cast<long long>(h));
        return false;
    }
    int depth = 24;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        depth = 8;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        depth = 32;
        break;
    default:
        cinfo->out_color_space = JCS_EXT_BGR;   // the byte order of a 24-bit BMP row
        break;
    }
    // Adobe writes CMYK inverted (0 = full ink); the marker tells.
    const bool inverted = cinfo->saw_Adobe_marker;
    jpeg_start_decompress(cinfo);

    *out = Bitmap::create(static_cast<int>(w), static_cast<int>(h), depth);
    if (out->empty()) {
        std::snprintf(why, whySize, "No memory");
        return false;
    }
    if (depth == 8) {
        std::vector<Colour> grey(256);
        for (unsigned i = 0; i < 256; ++i)
            grey[i] = rgb(i, i, i);
        out->setPalette(std::move(grey));
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        JSAMPROW row = out->rowPtr(y);
        jpeg_read_scanlines(cinfo, &row, 1);
        if (depth == 32) {
            // CMYK to RGB, in place: each channel is the ink's remainder.
            for (int x = 0; x < static_cast<int>(w); ++x) {
                std::uint8_t* p = row + 4 * x;
                unsigned c = p[0], m = p[1], yy = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                p[2] = static_cast<std::uint8_t>(c * k / 255);
                p[1] = static_cast<std::uint8_t>(m * k / 255);
                p[0] = static_cast<std::uint8_t>(yy * k / 255);
                p[3] = 0;
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

// Everything libjpeg may change between setjmp and a jump back lives here, on
// the heap, so no local of the frame that calls setjmp changes meanwhile.
struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    Bitmap picture;
    OversizedPicture oversized;
    char why[JMSG_LENGTH_MAX + 64];
};

Result<Bitmap> decodeJpeg(ByteSpan data, OversizedPicture* oversized)
{
    if (data.empty())
        return fail(PictureError::Truncated, "Empty JPEG file");
    const auto d = std::make_unique<Decoder>();
    std::memset(&d->cinfo, 0, sizeof d->cinfo);
    std::memset(&d->err, 0, sizeof d->err);
    std::memset(d->why, 0, sizeof d->why);
    d->cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = onError;
    d->err.pub.emit_message = onMessage;
    d->err.pub.output_message = onOutput;

    if (setjmp(d->err.jump)) {
        jpeg_destroy_decompress(&d->cinfo);
        return fail(PictureError::Damaged, std::string("Cannot decode JPEG: ") + d->err.message);
    }
    jpeg_create_decompress(&d->cinfo);
    // Caps libjpeg's own working memory (progressive files buffer every
    // coefficient of the picture).
    d->cinfo.mem->max_memory_to_use = 1024L * 1024L * 1024L;
    jpeg_mem_src(&d->cinfo, data.data(), static_cast<unsigned long>(data.size()));
    const bool ok = decodeInto(&d->cinfo, &d->picture, d->why, sizeof d->why, &d->oversized);
    jpeg_destroy_decompress(&d->cinfo);
    if (!ok) {
        if (oversized)
            *oversized = d->oversized;
        return fail(PictureError::TooLarge, d->why);
    }
    if (d->err.truncated)
        return fail(PictureError::Truncated, "JPEG file is truncated");
    if (!orientUpright(d->picture, exifOrientation(jpegExif(data))))
        return fail(PictureError::TooLarge, "No memory to turn the picture upright");
    return std::move(d->picture);
}

Result<Bitmap> decodeJpeg(const std::filesystem::path& path, OversizedPicture* oversized)
{
    // The largest JPEG worth reading is far below this; a bigger file is
    // refused without reading it.
    auto data = readFile(path, std::uintmax_t{512} * 1024 * 1024);
    if (!data)
        return fail(data.code(), data.error());
    auto r = decodeJpeg(*data, oversized);
    if (!r)
        return fail(r.code(), path.string() + ": " + r.error());
    return r;
}

} // namespace kastra
