#include "handset/gdr.h"

#include "handset/errors.h"
#include "handset/e32des.h"
#include "handset/e32uid.h"

#include <algorithm>

namespace kastra::gdr {

namespace {

constexpr std::size_t KMaxCopyright = 64;
constexpr std::size_t KMaxNameLength = 256;

class BitReader {
public:
    BitReader(ByteSpan data, std::size_t bytePos) : m_data(data), m_pos(bytePos * 8) {}
    bool get(int bits, unsigned& value)
    {
        if (static_cast<std::size_t>(bits) > m_data.size() * 8 - std::min(m_pos, m_data.size() * 8))
            return false;
        value = 0;
        for (int i = 0; i < bits; ++i, ++m_pos)
            if ((m_data[m_pos / 8] >> (m_pos % 8)) & 1u)
                value |= 1u << i;
        return true;
    }

private:
    ByteSpan m_data;
    std::size_t m_pos;
};

} // namespace

const Glyph* findGlyph(const FontBitmap& font, std::uint16_t code)
{
    const auto it = std::lower_bound(font.glyphs.begin(), font.glyphs.end(), code,
                                     [](const Glyph& g, std::uint16_t c) { return g.code < c; });
    return it != font.glyphs.end() && it->code == code ? &*it : nullptr;
}

// In phases: the header and root stream; per font bitmap, check and lay out
// its glyphs, then write its streams; then the data stream that refers to
// them, and the typefaces.
namespace {

struct Metric {
    std::int8_t ascent = 0;
    std::int8_t height = 0;
    std::int8_t left = 0;
    std::int8_t move = 0;
    std::int8_t right = 0;
};

bool i8(ByteReader& in, std::int8_t& v)
{
    std::uint8_t b = 0;
    if (!in.u8(b))
        return false;
    v = static_cast<std::int8_t>(b);
    return true;
}

Result<Glyph> readGlyph(ByteSpan bitmap, std::size_t offset, const std::vector<Metric>& metrics, std::uint16_t code)
{
    const std::string where = "glyph " + std::to_string(code) + ": ";
    ByteReader in(bitmap, offset);
    if (offset >= bitmap.size())
        return fail(HandsetError::Damaged, where + "offset " + std::to_string(offset) + " lies outside its bitmap");
    std::uint8_t b0 = 0;
    in.u8(b0);
    std::size_t index = b0 >> 1;
    if (b0 & 1) {
        std::uint8_t b1 = 0;
        if (!in.u8(b1))
            return fail(HandsetError::Truncated, where + "metric index ends early");
        index += std::size_t{b1} * 128;
    }
    if (index >= metrics.size())
        return fail(HandsetError::Damaged,
                    where + "metric index " + std::to_string(index) + " is beyond the " + std::to_string(metrics.size())
                        + " metrics");
    const Metric& m = metrics[index];
    Glyph g;
    g.code = code;
    g.ascent = m.ascent;
    g.leftAdjust = m.left;
    g.move = m.move;
    g.rightAdjust = m.right;
    g.height = m.height;
    const int width = g.width();
    if (g.height < 0 || width < 0)
        return fail(HandsetError::Damaged, where + "metric gives a negative size");
    g.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(g.height), 0);

    BitReader bits(bitmap, in.pos());
    int row = 0;
    while (row < g.height) {
        unsigned header = 0;
        if (!bits.get(5, header))
            return fail(HandsetError::Truncated, where + "rows end early");
        const int count = static_cast<int>(header >> 1);
        // A zero count would never advance; the handset would loop forever.
        if (count == 0)
            return fail(HandsetError::Damaged, where + "row block with a count of 0");
        if (count > g.height - row)
            return fail(HandsetError::Damaged,
                        where + "row block runs past the glyph's " + std::to_string(g.height) + " rows");
        const bool distinct = header & 1u;
        for (int k = 0; k < (distinct ? count : 1); ++k) {
            for (int x = 0; x < width; ++x) {
                unsigned v = 0;
                if (!bits.get(1, v))
                    return fail(HandsetError::Truncated, where + "rows end early");
                g.pixels[static_cast<std::size_t>((row + k) * width + x)] = static_cast<std::uint8_t>(v);
            }
        }
        if (!distinct)
            for (int k = 1; k < count; ++k)
                std::copy_n(g.pixels.begin() + row * width, width, g.pixels.begin() + (row + k) * width);
        row += count;
    }
    return g;
}

// Reads the header and the root stream; dataId receives the data stream id.
Result<FontStore> readRoot(ByteSpan file, std::uint32_t& dataId)
{
    ByteReader in(file);
    auto uids = e32::readCheckedUids(in);
    if (!uids)
        return fail(uids.code(), uids.error());
    if (uids->uid1 != e32::KDirectFileStoreLayoutUid || uids->uid2 != e32::KFontStoreFileUid)
        return fail(HandsetError::WrongFormat, "not a font store file (UIDs do not say so)");
    std::uint32_t rootId = 0;
    if (!in.u32(rootId))
        return fail(HandsetError::Truncated, "font store ends before its root stream id");
    ByteReader root(file);
    if (rootId < 20 || !root.seek(rootId))
        return fail(HandsetError::Damaged, "root stream id " + std::to_string(rootId) + " lies outside the file");

    FontStore store;
    std::uint32_t copyrights = 0;
    if (!root.i32(store.version) || !root.u32(store.collectionUid) || !root.i32(store.pixelAspectRatio)
        || !root.u32(dataId))
        return fail(HandsetError::Truncated, "root stream ends early");
    if (store.version != 39 && store.version != 41 && store.version != 42)
        return fail(HandsetError::Unsupported,
                    "font store version " + std::to_string(store.version) + " is not supported (39, 41, 42)");
    // The copyright list is optional for the handset; when present it must
    // be well formed.
    if (root.u32(copyrights)) {
        if (copyrights > KMaxCopyright)
            return fail(HandsetError::Damaged, "font store claims " + std::to_string(copyrights) + " copyright notes");
        for (std::uint32_t i = 0; i < copyrights; ++i) {
            auto c = e32::readDes16(root, KMaxNameLength);
            if (!c)
                return fail(c.code(), "copyright note: " + c.error());
            store.copyright.push_back(std::move(*c));
        }
    }
    return store;
}

Result<std::vector<Metric>> readMetrics(ByteSpan file, std::uint32_t metricsId, std::int32_t metricsCount,
                                        const std::string& where)
{
    ByteReader ms(file);
    std::int32_t streamCount = 0;
    if (metricsId < 20 || !ms.seek(metricsId) || !ms.i32(streamCount))
        return fail(HandsetError::Damaged, where + "metrics stream lies outside the file");
    if (metricsCount < 0 || static_cast<std::uint32_t>(metricsCount) > ms.remaining() / 5)
        return fail(HandsetError::Damaged, where + std::to_string(metricsCount) + " metrics do not fit the file");
    std::vector<Metric> metrics(static_cast<std::size_t>(metricsCount));
    for (Metric& m : metrics) {
        i8(ms, m.ascent);
        i8(ms, m.height);
        i8(ms, m.left);
        i8(ms, m.move);
        i8(ms, m.right);
    }
    return metrics;
}

// Reads one code section's entry from the data stream (the caller has
// checked that it fits), then its offsets and bitmap streams and its glyphs.
Result<void> readSection(ByteSpan file, ByteReader& data, const std::vector<Metric>& metrics, long& previousLast,
                         std::vector<Glyph>& glyphs, const std::string& where)
{
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::uint32_t offsetsId = 0;
    std::uint32_t bitmapId = 0;
    data.u16(first);
    data.u16(last);
    data.u32(offsetsId);
    data.u32(bitmapId);
    if (last < first || first <= previousLast)
        return fail(HandsetError::Damaged, where + "code sections are not sorted and disjoint");
    previousLast = last;

    ByteReader os(file);
    std::int32_t count = 0;
    if (offsetsId < 20 || !os.seek(offsetsId) || !os.i32(count))
        return fail(HandsetError::Damaged, where + "offsets stream lies outside the file");
    if (count != last - first + 1 || static_cast<std::uint32_t>(count) > os.remaining() / 2)
        return fail(HandsetError::Damaged,
                    where + "offsets stream does not match its section " + std::to_string(first) + "-"
                        + std::to_string(last));
    ByteReader bs(file);
    std::int32_t length = 0;
    ByteSpan bitmap;
    if (bitmapId < 20 || !bs.seek(bitmapId) || !bs.i32(length) || length < 0
        || !bs.bytes(static_cast<std::size_t>(length), bitmap))
        return fail(HandsetError::Damaged, where + "bitmap stream lies outside the file");
    for (std::int32_t c = 0; c < count; ++c) {
        std::uint16_t offset = 0;
        os.u16(offset);
        if (offset == KFillCharacterOffset)
            continue;
        auto g = readGlyph(bitmap, offset, metrics, static_cast<std::uint16_t>(first + c));
        if (!g)
            return fail(g.code(), where + g.error());
        glyphs.push_back(std::move(*g));
    }
    return {};
}

// One font bitmap's header in the data stream, and everything it refers to.
Result<FontBitmap> readFontBitmap(ByteSpan file, ByteReader& data, std::int32_t version, const std::string& where)
{
    FontBitmap font;
    std::int32_t encoding = 0;
    std::uint32_t metricsId = 0;
    std::int32_t metricsCount = 0;
    std::int32_t sectionCount = 0;
    bool ok = data.u32(font.uid) && i8(data, font.posture) && i8(data, font.strokeWeight)
        && i8(data, font.isProportional) && i8(data, font.cellHeight) && i8(data, font.ascent)
        && i8(data, font.maxCharWidth) && i8(data, font.maxNormalCharWidth);
    if (ok && version >= 42)
        ok = i8(data, font.capitalAscent) && i8(data, font.maxAscent) && i8(data, font.standardDescent)
            && i8(data, font.maxDescent) && i8(data, font.lineGap);
    ok = ok && data.i32(encoding) && data.u32(metricsId) && data.i32(metricsCount) && data.i32(sectionCount);
    if (!ok)
        return fail(HandsetError::Truncated, where + "header ends early");
    if (encoding != 0)
        return fail(HandsetError::Unsupported,
                    where + "bitmap encoding " + std::to_string(encoding) + " is not supported");

    const auto metrics = readMetrics(file, metricsId, metricsCount, where);
    if (!metrics)
        return fail(metrics.code(), metrics.error());
    if (sectionCount < 0 || static_cast<std::uint32_t>(sectionCount) > data.remaining() / 12)
        return fail(HandsetError::Damaged, where + std::to_string(sectionCount) + " code sections do not fit the file");
    long previousLast = -1;
    for (std::int32_t s = 0; s < sectionCount; ++s)
        if (auto r = readSection(file, data, *metrics, previousLast, font.glyphs, where); !r)
            return fail(r.code(), r.error());
    return font;
}

Result<void> readTypefaces(ByteReader& data, std::vector<Typeface>& typefaces)
{
    std::uint32_t typefaceCount = 0;
    if (!data.u32(typefaceCount))
        return fail(HandsetError::Truncated, "data stream ends before the typefaces");
    if (typefaceCount > data.remaining() / 6)
        return fail(HandsetError::Damaged, "font store claims " + std::to_string(typefaceCount) + " typefaces");
    for (std::uint32_t t = 0; t < typefaceCount; ++t) {
        Typeface face;
        auto name = e32::readDes16(data, KMaxNameLength);
        if (!name)
            return fail(name.code(), "typeface name: " + name.error());
        face.name = std::move(*name);
        std::uint32_t sizes = 0;
        if (!data.u8(face.attributes) || !data.u32(sizes))
            return fail(HandsetError::Truncated, "typeface ends early");
        if (sizes > data.remaining() / 6)
            return fail(HandsetError::Damaged, "typeface claims " + std::to_string(sizes) + " sizes");
        for (std::uint32_t s = 0; s < sizes; ++s) {
            TypefaceSize size;
            data.u32(size.fontBitmapUid);
            i8(data, size.widthFactor);
            i8(data, size.heightFactor);
            face.sizes.push_back(size);
        }
        typefaces.push_back(std::move(face));
    }
    return {};
}

} // namespace

Result<FontStore> readFontStore(ByteSpan file)
{
    std::uint32_t dataId = 0;
    auto store = readRoot(file, dataId);
    if (!store)
        return store;

    ByteReader data(file);
    if (dataId < 20 || !data.seek(dataId))
        return fail(HandsetError::Damaged, "data stream id " + std::to_string(dataId) + " lies outside the file");
    std::uint32_t fontCount = 0;
    if (!data.u32(fontCount))
        return fail(HandsetError::Truncated, "data stream ends early");
    // Each font bitmap header takes at least 31 bytes.
    if (fontCount > data.remaining() / 31)
        return fail(HandsetError::Damaged, "font store claims " + std::to_string(fontCount) + " font bitmaps");
    for (std::uint32_t f = 0; f < fontCount; ++f) {
        auto font = readFontBitmap(file, data, store->version, "font bitmap " + std::to_string(f + 1) + ": ");
        if (!font)
            return fail(font.code(), font.error());
        store->fontBitmaps.push_back(std::move(*font));
    }
    if (auto r = readTypefaces(data, store->typefaces); !r)
        return fail(r.code(), r.error());
    return store;
}

} // namespace kastra::gdr
