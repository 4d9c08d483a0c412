// Writing BMP files: the one form every picture is saved in.

#include "picture/bitmap.h"

#include "base/fileio.h"
#include "picture/bmp_format.h"
#include "picture/errors.h"

#include <cstring>

namespace kastra {

using namespace bmp;

// ---------------------------------------------------------------------------
// Writing

Bytes Bitmap::encodeBmp() const
{
    Bytes out;
    if (empty())
        return out;
    const bool bitFields = m_fromFile && m_info.compression == kBitFields && (m_depth == 16 || m_depth == 32);
    const std::size_t paletteBytes = m_depth <= 8 ? (std::size_t{4} << m_depth) : 0;
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + (bitFields ? 12 : 0) + paletteBytes;
    const std::size_t size = offset + byteSize();
    out.reserve(size);
    ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32(static_cast<std::uint32_t>(size));
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(offset));
    w.u32(kInfoHeaderSize);
    w.i32(m_width);
    w.i32(m_height);
    w.u16(1);
    w.u16(static_cast<std::uint16_t>(m_depth));
    w.u32(bitFields ? kBitFields : 0);
    if (m_fromFile) {
        // A picture that was read keeps what its header said; the image size
        // follows the picture if it was given at all.
        w.u32(m_info.imageSize ? static_cast<std::uint32_t>(byteSize()) : 0);
        w.i32(m_info.xPelsPerMeter);
        w.i32(m_info.yPelsPerMeter);
        w.u32(m_info.coloursUsed);
        w.u32(m_info.coloursImportant);
    } else {
        w.fill(20, 0);
    }
    if (bitFields) {
        w.u32(m_info.masks[0]);
        w.u32(m_info.masks[1]);
        w.u32(m_info.masks[2]);
    }
    if (m_depth <= 8) {
        for (std::size_t i = 0; i < (std::size_t{1} << m_depth); ++i) {
            const Colour c = i < m_palette.size() ? m_palette[i] : 0;
            w.u8(static_cast<std::uint8_t>(blueOf(c)));
            w.u8(static_cast<std::uint8_t>(greenOf(c)));
            w.u8(static_cast<std::uint8_t>(redOf(c)));
            w.u8(0);
        }
    }
    w.bytes(m_bits);
    return out;
}

Result<void> Bitmap::writeBmp(const std::filesystem::path& path) const
{
    if (empty())
        return fail(PictureError::BadArgument, "empty picture: nothing written");
    const Bytes bytes = encodeBmp();
    return writeFileAtomic(path, bytes);
}

void writeBmpQuietly(const Bitmap& picture, const std::filesystem::path& path)
{
    (void)picture.writeBmp(path);
}

} // namespace kastra
