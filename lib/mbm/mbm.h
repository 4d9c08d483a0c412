#pragma once
// Symbian multi-bitmap files (MBM), the "file store" kind that bmconv writes
// and the phone's font and bitmap server reads. Little-endian throughout:
//
//   0   UID1 0x10000037 (direct file store), UID2 0x10000042 (multi-bitmap
//       file), UID3 0, UID checksum 0x47396439
//   16  offset of the trailer
//   20  bitmap 0, bitmap 1, ... each a 40-byte header and its data, packed
//       back to back with no alignment
//   trailer: count N, then N absolute offsets of the bitmap headers
//
// Bitmap data is stored top-down. Rows are padded to 4 bytes, except at
// 24 bits per pixel, where they are padded to 12 bytes (4 pixels). Pixels
// narrower than a byte are packed from the least significant bit. bmconv fills
// its buffers with 0xFF first, so unused bits and padding bytes are 1s.

#include "base/bytes.h"
#include "base/crc16.h"   // uidChecksum, shared with the other Symbian formats
#include "mbm/palette.h"
#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kastra::mbm {

inline constexpr std::uint32_t DirectFileStoreUid = 0x10000037;
inline constexpr std::uint32_t MultiBitmapFileUid = 0x10000042;
inline constexpr std::uint32_t MultiBitmapRomUid = 0x10000041;
inline constexpr std::uint32_t HeaderSize = 40;
inline constexpr std::uint32_t FileHeaderSize = 20;

enum class Compression : std::uint32_t {
    None = 0,
    ByteRle = 1,
    TwelveBitRle = 2,
    SixteenBitRle = 3,
    TwentyFourBitRle = 4,
    ThirtyTwoBitRle = 5, // later SDKs; read only
};

// A display mode as bmconv's depth prefixes name it: "/1" ... "/8" are grey
// (colour = false), "/c4" ... "/c32" colour.
struct Mode {
    int bpp = 2;
    bool colour = false;
    friend bool operator==(Mode, Mode) = default;
};

// True for the pairs bmconv accepts: grey 1, 2, 4, 8; colour 4, 8, 12, 16,
// 24, 32.
bool isValidMode(Mode m);
// "/c12" and the like; "/2" for grey 2 bits.
std::string modeName(Mode m);
// The compression bmconv uses for a depth (None at 32 bits).
Compression compressionFor(int bpp);

// Bytes per row: a multiple of 4, and of 12 at 24 bits. 0 for a depth that
// is not one of 1, 2, 4, 8, 12, 16, 24, 32 or a width below 1.
std::uint32_t byteWidth(std::int32_t width, std::int32_t bpp);

// Source size in twips from pixels and a BMP's pels per metre:
// pixels * 1440000 / 254 / ppm, integer arithmetic left to right; 0 when ppm
// is not positive.
std::int32_t twipsFromPelsPerMetre(std::int32_t pixels, std::int32_t pelsPerMetre);

// The 40-byte header of one bitmap, fields as stored.
struct BitmapHeader {
    std::int32_t bitmapSize = 0;     // 40 + size of the (compressed) data
    std::int32_t structSize = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t twipsWidth = 0;
    std::int32_t twipsHeight = 0;
    std::int32_t bpp = 0;
    std::int32_t colour = 0;         // 0 grey, 1 colour (later SDKs: 2, 3 alpha)
    std::int32_t paletteEntries = 0; // always 0
    std::uint32_t compression = 0;
};

// One bitmap with its pixels uncompressed: byteWidth * height bytes, top-down
// rows, laid out as on the phone.
struct MbmBitmap {
    BitmapHeader header;  // as read; for writing only the size, twips and mode fields count
    Bytes data;

    Mode mode() const { return Mode{header.bpp, header.colour != 0}; }
    std::uint32_t stride() const { return byteWidth(header.width, header.bpp); }
    // The colour of a pixel as bmconv turns it back into RGB when it unpacks
    // (nibbles * 17, 5/6-bit values scaled with integer division, grey
    // levels spread over 0-255, indexed colours through the default
    // palettes). x and y must lie inside the picture.
    Rgb pixel(int x, int y) const;
    // Row y (0 <= y < height) as width pixels of B, G, R bytes, the same
    // colours as pixel() gives.
    void rowToBgr(int y, std::uint8_t* out) const;
};

// Limits a reader applies before it allocates anything for a bitmap.
struct ReadLimits {
    std::uint32_t maxBitmaps = 100000;
    std::int64_t maxDimension = 32768;
    std::int64_t maxPixels = std::int64_t{100} * 1000 * 1000;
    // readMbm only: the uncompressed data of all bitmaps together (a small
    // file can name one large bitmap many times over).
    std::uint64_t maxTotalBytes = std::uint64_t{1} << 30;
};

// The bitmap offsets of a file store MBM, after checking its UIDs, the UID
// checksum and that the trailer and every offset lie inside the file.
// Fails with a one-line reason (no file name) otherwise.
Result<std::vector<std::uint32_t>> readIndex(ByteSpan file, const ReadLimits& limits = {});

// Reads and decompresses the bitmap whose header starts at offset. Fails with
// a reason on a header or data that do not fit the file, a depth or size
// beyond the limits, a palette, an unknown compression or compressed data that
// do not describe exactly the picture.
Result<MbmBitmap> readBitmap(ByteSpan file, std::uint32_t offset, const ReadLimits& limits = {});

// Every bitmap of a file, within limits.maxTotalBytes.
Result<std::vector<MbmBitmap>> readMbm(ByteSpan file, const ReadLimits& limits = {});

// How the writer stores pixels.
enum class Store {
    Compressed,   // bmconv's default: each bitmap compressed unless its encoder gives up
    Uncompressed, // bmconv /n
};

// The stored form of one bitmap: its header (with the final size and
// compression) followed by its data, exactly as bmconv writes it.
Bytes encodeBitmap(const MbmBitmap& bitmap, Store store);

// A whole file store. Fails only when the file would exceed what its 32-bit
// offsets can address, or a bitmap's data size does not match its header.
Result<Bytes> writeMbm(const std::vector<MbmBitmap>& bitmaps, Store store);

// Options of the colour reduction.
struct ReduceOptions {
    // bmconv's substitution of 128 grey by 127 and 192 grey by 187, applied to
    // every source pixel before anything else.
    bool sdkGreys = false;
    // The inverse table used for /c8; the default palette's when null.
    const Inverse256* inverse256 = nullptr;
};

// Builds a bitmap of the given mode from RGB pixels (width * height, top-down,
// row after row) as bmconv reduces them: grey levels by formula, /c4 and /c8
// through their inverse tables, /c12 and /c16 by truncation, /c24 and /c32
// exact. Unused bits and row padding are 1s. Fails for an invalid mode, a
// size beyond the limits or a pixel count that does not match.
Result<MbmBitmap> makeBitmap(Mode mode, std::int32_t width, std::int32_t height, const std::vector<Rgb>& pixels,
                          std::int32_t twipsWidth, std::int32_t twipsHeight, const ReduceOptions& options = {});

// The 24-bit, bottom-up BMP file bmconv writes when it unpacks a bitmap:
// 14 + 40 header bytes, no palette, pels per metre 0, rows padded to 4 bytes
// with 0xFF.
Bytes encodeUnpackedBmp(const MbmBitmap& bitmap);

} // namespace kastra::mbm
