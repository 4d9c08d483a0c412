#pragma once
// The one in-memory picture type. It reads and writes Windows BMP files, holds
// pictures while they are cut, resampled and masked, and paints them onto a
// Canvas. No Qt here: the command-line tools link this library too.
//
// Pixels are stored as in a BMP file: rows padded to 4 bytes, bottom-up (the
// top row y = 0 at the highest address). rowPtr(y) hides that.

#include "base/bytes.h"
#include "base/result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kastra {

// Colours are 0x00BBGGRR: red in the lowest byte.
using Colour = std::uint32_t;
inline constexpr Colour NoColour = 0xFFFFFFFFu;

inline constexpr Colour rgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
inline constexpr unsigned redOf(Colour c) { return c & 0xFFu; }
inline constexpr unsigned greenOf(Colour c) { return (c >> 8) & 0xFFu; }
inline constexpr unsigned blueOf(Colour c) { return (c >> 16) & 0xFFu; }

// Right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// A drawing surface. The preview's surfaces and the tests' plain images
// implement it; Bitmap paints through these two calls only.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Positions outside the surface are never passed.
    virtual Colour pixel(int x, int y) const = 0;
    virtual void setPixel(int x, int y, Colour c) = 0;
};

// A plain RGB32 surface.
class RgbImage final : public Canvas {
public:
    RgbImage(int width, int height, Colour fill = 0);
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    Colour pixel(int x, int y) const override { return m_pixels[index(x, y)]; }
    void setPixel(int x, int y, Colour c) override { m_pixels[index(x, y)] = c; }

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
    }
    int m_width;
    int m_height;
    std::vector<Colour> m_pixels;
};

// Header values of a BMP file that was read, written back unchanged so that a
// picture cut and saved again keeps what its file said.
struct BmpInfo {
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;
    std::uint32_t compression = 0;                   // 0, or 3 (bit fields) for 16/32 bits; RLE files read as 0
    std::array<std::uint32_t, 3> masks{0, 0, 0};     // red, green, blue masks when compression is 3
};

class Bitmap {
public:
    // Limits for what a file may describe; a larger picture is refused before
    // any memory is taken for it.
    static constexpr std::int64_t MaxDimension = 32768;
    static constexpr std::int64_t MaxPixels = std::int64_t{100} * 1000 * 1000;

    Bitmap() = default;
    // A blank picture of that size at the display's depth (24 bits), filled
    // with white; 0 x 0 (or any non-positive size) gives an empty picture.
    Bitmap(int width, int height);
    // A blank picture of the given depth (1, 4, 8, 16, 24 or 32). Paletted
    // depths get a grey ramp palette (1 bit: black, white).
    static Bitmap create(int width, int height, int depth);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int depth() const { return m_depth; }
    bool empty() const { return m_width <= 0 || m_height <= 0; }
    int stride() const { return stride(m_width, m_depth); }
    static int stride(int width, int depth) { return ((width * depth + 31) / 32) * 4; }

    // Palette entries as 0x00BBGGRR colours (1, 4 and 8 bits only).
    const std::vector<Colour>& palette() const { return m_palette; }
    void setPalette(std::vector<Colour> palette);
    const BmpInfo& bmpInfo() const { return m_info; }

    // Reads a BMP file from bytes in memory, replacing the picture: headers of
    // 12, 40, 52, 56, 108 and 124 bytes, top-down or bottom-up, 1 to 32 bits,
    // bit fields, RLE8 and RLE4 (alpha is read past). On failure
    // the picture is left empty and the result says why (picture.* codes).
    Result<void> loadBmp(ByteSpan file);

    // Writes the picture as an uncompressed BMP with a 40-byte header,
    // replacing the file atomically. An empty picture writes nothing, leaves
    // an existing file untouched and fails with picture.bad_argument; a file
    // that cannot be written fails with base.* codes.
    [[nodiscard]] Result<void> writeBmp(const std::filesystem::path& path) const;
    Bytes encodeBmp() const;

    // Anchored top-left; new area is white.
    void setWidth(int width);
    void setHeight(int height);
    void toRgb24();

    // Start of row y (counted from the top); row y + 1 is the row below.
    std::uint8_t* rowPtr(int y);
    const std::uint8_t* rowPtr(int y) const;
    // Signed distance in bytes from row y to row y + 1 (negative: bottom-up).
    std::ptrdiff_t rowStep() const { return -static_cast<std::ptrdiff_t>(stride()); }

    Colour getPixel(int x, int y) const;
    void setPixel(int x, int y, Colour c);

    // Nearest-neighbour copy of src's srcRect into dst of this picture, each
    // axis scaled on its own. src may be *this; the source is read whole first.
    void stretchCopy(const Rect& dst, const Bitmap& src, const Rect& srcRect);

    void draw(Canvas& canvas, int x, int y) const;
    void drawKeyed(Canvas& canvas, int x, int y, Colour key) const;
    void drawMasked(Canvas& canvas, int x, int y, const Bitmap& mask) const;

    // 1-bit picture: white (1) where the pixel equals key, black elsewhere.
    void makeMask(Colour key);
    void clear();

private:
    std::size_t byteSize() const { return static_cast<std::size_t>(stride()) * static_cast<std::size_t>(m_height); }
    Colour paletteColour(unsigned index) const;
    // The palette index nearest to c (exact match first).
    unsigned nearestIndex(Colour c) const;

    int m_width = 0;
    int m_height = 0;
    int m_depth = 24;
    std::vector<Colour> m_palette;
    std::vector<std::uint8_t> m_bits;   // bottom-up rows, stride bytes each
    BmpInfo m_info;
    bool m_fromFile = false;            // header values came from a file
};

// Reads a BMP file: the picture, or why not (base.* codes when the file
// cannot be read or is larger than any picture we accept, picture.* codes
// when its contents are refused; the message names the file).
Result<Bitmap> readBmp(const std::filesystem::path& path);

// The painters' forms. A slot that is missing or unreadable draws as nothing
// and a picture that cannot be saved is simply not there next time, as on the
// handset program, so a painter asks for no reason: it gets an empty picture,
// or writes nothing.
Bitmap readBmpOrEmpty(const std::filesystem::path& path);
void writeBmpQuietly(const Bitmap& picture, const std::filesystem::path& path);

} // namespace kastra
