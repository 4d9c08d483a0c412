// EXIF orientation: the eight turns on pictures of every byte depth, and the
// tag's reader against blocks as cameras write them and as an attacker
// would.
#include "picture/exif.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace kastra;

namespace {

// Appends byte by byte: GCC 12 misjudges the bounds of a range insert
// into a small vector.
template <class Range>
void append(Bytes& to, const Range& from)
{
    for (const auto byte : from)
        to.push_back(static_cast<std::uint8_t>(byte));
}

// A 3 x 2 picture whose pixels are the letters a-f, row by row.
Bitmap letters(int depth)
{
    Bitmap b = Bitmap::create(3, 2, depth);
    if (depth == 8) {
        std::vector<Colour> palette(256);
        for (unsigned i = 0; i < 256; ++i)
            palette[i] = rgb(i, 255 - i, i / 2);
        b.setPalette(palette);
    }
    // Red carries the letter; at 8 bits each letter is its palette entry.
    for (unsigned i = 0; i < 6; ++i) {
        const unsigned letter = 'a' + i;
        const Colour c = depth == 8 ? rgb(letter, 255 - letter, letter / 2) : rgb(letter, 1, 2);
        b.setPixel(static_cast<int>(i % 3), static_cast<int>(i / 3), c);
    }
    return b;
}

// The picture's letters, rows separated by '/'.
std::string spelled(const Bitmap& b)
{
    std::string s;
    for (int y = 0; y < b.height(); ++y) {
        if (y)
            s += '/';
        for (int x = 0; x < b.width(); ++x)
            s += static_cast<char>(redOf(b.getPixel(x, y)));
    }
    return s;
}

// A TIFF block with one IFD0 of the given entries (tag, type, count, value).
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};
Bytes tiff(bool big, std::uint32_t ifd, const std::vector<Entry>& entries, int claimedCount = -1)
{
    Bytes b;
    auto u16 = [&](std::uint32_t v) {
        if (big)
            b.insert(b.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
        else
            b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    };
    auto u32 = [&](std::uint32_t v) {
        big ? (u16(v >> 16), u16(v & 0xFFFF)) : (u16(v & 0xFFFF), u16(v >> 16));
    };
    b.insert(b.end(), {static_cast<std::uint8_t>(big ? 'M' : 'I'), static_cast<std::uint8_t>(big ? 'M' : 'I')});
    u16(42);
    u32(ifd);
    while (b.size() < ifd && b.size() < 64)
        b.push_back(0);
    u16(claimedCount < 0 ? static_cast<std::uint32_t>(entries.size()) : static_cast<std::uint32_t>(claimedCount));
    for (const Entry& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == 3) {   // a short sits in the first two bytes of the field
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(ifd);   // the next directory: this one again, a loop never followed
    return b;
}

Bytes withPrefix(const char* prefix, std::size_t n, Bytes rest)
{
    Bytes b;
    append(b, std::string_view(prefix, n));
    append(b, rest);
    return b;
}

} // namespace

TEST(Exif, EachOrientationTurnsThePictureUpright)
{
    const std::pair<Orientation, const char*> cases[] = {
        {Orientation::Normal, "abc/def"},        {Orientation::MirrorHorizontal, "cba/fed"},
        {Orientation::Rotate180, "fed/cba"},     {Orientation::MirrorVertical, "def/abc"},
        {Orientation::Transpose, "ad/be/cf"},    {Orientation::Rotate90, "da/eb/fc"},
        {Orientation::Transverse, "fc/eb/da"},   {Orientation::Rotate270, "cf/be/ad"},
    };
    for (int depth : {8, 24, 32}) {
        for (const auto& [orientation, upright] : cases) {
            SCOPED_TRACE(std::to_string(depth) + " bits, orientation " + std::to_string(static_cast<int>(orientation)));
            Bitmap b = letters(depth);
            ASSERT_EQ(spelled(b), "abc/def");
            ASSERT_TRUE(orientUpright(b, orientation));
            EXPECT_EQ(spelled(b), upright);
            EXPECT_EQ(b.depth(), depth);
        }
    }
}

TEST(Exif, OrientationTagIsReadOnlyWhereTheBlockHoldsIt)
{
    const Entry six{0x0112, 3, 1, 6};
    const Entry width{0x0100, 4, 1, 4000};
    struct Case {
        const char* what;
        Bytes block;
        Orientation expected;
    };
    const Case cases[] = {
        {"little-endian", tiff(false, 8, {width, six}), Orientation::Rotate90},
        {"big-endian", tiff(true, 8, {{0x0112, 3, 1, 8}}), Orientation::Rotate270},
        {"JPEG's Exif prefix", withPrefix("Exif\0\0", 6, tiff(false, 8, {{0x0112, 3, 1, 3}})), Orientation::Rotate180},
        {"as a long", tiff(true, 8, {{0x0112, 4, 1, 5}}), Orientation::Transpose},
        {"IFD further on", tiff(false, 20, {six}), Orientation::Rotate90},
        {"no tag", tiff(false, 8, {width}), Orientation::Normal},
        {"value 0", tiff(false, 8, {{0x0112, 3, 1, 0}}), Orientation::Normal},
        {"value 9", tiff(false, 8, {{0x0112, 3, 1, 9}}), Orientation::Normal},
        {"value 0x10006 as a long", tiff(false, 8, {{0x0112, 4, 1, 0x10006}}), Orientation::Normal},
        {"text type", tiff(false, 8, {{0x0112, 2, 1, 6}}), Orientation::Normal},
        {"count 0", tiff(false, 8, {{0x0112, 3, 0, 6}}), Orientation::Normal},
        {"count claims 65535, one there", tiff(false, 8, {six}, 65535), Orientation::Rotate90},
        {"count claims 65535, tag past the end", tiff(false, 8, {width}, 65535), Orientation::Normal},
        {"IFD offset past the end", tiff(false, 0xFFFFFFF0u, {six}), Orientation::Normal},
        {"IFD offset inside the header", tiff(false, 4, {six}), Orientation::Normal},
        {"IFD offset 0", tiff(false, 0, {six}), Orientation::Normal},
        {"entry cut short", [&] { Bytes b = tiff(false, 8, {six}); b.resize(18); return b; }(), Orientation::Normal},
        {"seven bytes", Bytes{'I', 'I', 42, 0, 8, 0, 0}, Orientation::Normal},
        {"byte order IM", [&] { Bytes b = tiff(false, 8, {six}); b[1] = 'M'; return b; }(), Orientation::Normal},
        {"magic 43", [&] { Bytes b = tiff(false, 8, {six}); b[2] = 43; return b; }(), Orientation::Normal},
        {"Exif prefix alone", Bytes{'E', 'x', 'i', 'f', 0, 0}, Orientation::Normal},
        {"empty", Bytes{}, Orientation::Normal},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exifOrientation(c.block), c.expected) << c.what;
}

TEST(Exif, BlockIsFoundInTheFileStructure)
{
    const Bytes block = withPrefix("Exif\0\0", 6, tiff(false, 8, {{0x0112, 3, 1, 6}}));
    auto segment = [](std::uint8_t marker, const Bytes& payload, int lengthDelta = 0) {
        const std::size_t n = payload.size() + 2 + static_cast<std::size_t>(lengthDelta);
        Bytes s{0xFF, marker, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
        append(s, payload);
        return s;
    };
    auto jpeg = [](std::initializer_list<Bytes> parts) {
        Bytes b{0xFF, 0xD8};
        for (const Bytes& p : parts)
            append(b, p);
        return b;
    };
    const Bytes jfif = segment(0xE0, Bytes{'J', 'F', 'I', 'F', 0, 1, 1});
    const Bytes xmp = segment(0xE1, Bytes{'h', 't', 't', 'p', ':', '/', '/'});
    const Bytes scan = segment(0xDA, Bytes{1, 2, 3});
    const std::pair<const char*, Bytes> found[] = {
        {"after JFIF", jpeg({jfif, segment(0xE1, block)})},
        {"after an XMP segment", jpeg({xmp, segment(0xE1, block)})},
        {"after fill bytes", jpeg({Bytes{0xFF, 0xFF}, segment(0xE1, block)})},
    };
    for (const auto& [what, file] : found)
        EXPECT_EQ(exifOrientation(jpegExif(file)), Orientation::Rotate90) << what;
    const std::pair<const char*, Bytes> none[] = {
        {"after the scan", jpeg({jfif, scan, segment(0xE1, block)})},
        {"length past the end", jpeg({segment(0xE1, block, 1)})},
        {"length below 2", jpeg({Bytes{0xFF, 0xE0, 0, 1}, segment(0xE1, block)})},
        {"no marker where one belongs", jpeg({Bytes{0x12, 0x34}, segment(0xE1, block)})},
        {"not a JPEG", Bytes(block)},
    };
    for (const auto& [what, file] : none)
        EXPECT_TRUE(jpegExif(file).empty()) << what;

    auto chunk = [](const char* type, const Bytes& data, std::uint32_t extra = 0) {
        const auto n = static_cast<std::uint32_t>(data.size()) + extra;
        Bytes c{static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                static_cast<std::uint8_t>(n)};
        append(c, std::string_view(type, 4));
        append(c, data);
        append(c, Bytes(4, 0));   // the CRC, not checked here
        return c;
    };
    auto png = [](std::initializer_list<Bytes> parts) {
        Bytes b{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        for (const Bytes& p : parts)
            append(b, p);
        return b;
    };
    const Bytes tiffOnly = tiff(true, 8, {{0x0112, 3, 1, 6}});
    const Bytes ihdr = chunk("IHDR", Bytes(13, 0)), idat = chunk("IDAT", Bytes(5, 0)), iend = chunk("IEND", {});
    EXPECT_EQ(exifOrientation(pngExif(png({ihdr, chunk("eXIf", tiffOnly), idat, iend}))), Orientation::Rotate90);
    EXPECT_EQ(exifOrientation(pngExif(png({ihdr, idat, chunk("eXIf", tiffOnly), iend}))), Orientation::Rotate90);
    EXPECT_TRUE(pngExif(png({ihdr, iend, chunk("eXIf", tiffOnly)})).empty());
    EXPECT_TRUE(pngExif(png({ihdr, chunk("eXIf", tiffOnly, 1)})).empty());
    EXPECT_TRUE(pngExif(png({ihdr, chunk("tEXt", Bytes(4, 0), 0x7FFFFFF0u)})).empty());
}
