#include "handset/gdr.h"

#include "handset/errors.h"
#include "handset/e32des.h"
#include "handset/e32uid.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace kastra::gdr {

namespace {

// Codes closer than this share a section; the hole is filled with 0x7FFF
// entries, which costs two bytes per missing code against 12 for a section.
constexpr unsigned KMaxGapInSection = 6;

using MetricKey = std::tuple<std::int8_t, std::int8_t, std::int8_t, std::int8_t, std::int8_t>;

MetricKey metricOf(const Glyph& g)
{
    return {g.ascent, static_cast<std::int8_t>(g.height), g.leftAdjust, g.move, g.rightAdjust};
}

class BitWriter {
public:
    explicit BitWriter(Bytes& out) : m_out(out) {}
    void put(unsigned value, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (m_bit == 0)
                m_out.push_back(0);
            if ((value >> i) & 1u)
                m_out.back() = static_cast<std::uint8_t>(m_out.back() | (1u << m_bit));
            m_bit = (m_bit + 1) % 8;
        }
    }

private:
    Bytes& m_out;
    int m_bit = 0;
};

bool sameRow(const Glyph& g, int a, int b)
{
    const int w = g.width();
    return std::equal(g.pixels.begin() + a * w, g.pixels.begin() + (a + 1) * w, g.pixels.begin() + b * w);
}

void putRow(BitWriter& bits, const Glyph& g, int row)
{
    const int w = g.width();
    for (int x = 0; x < w; ++x)
        bits.put(g.pixels[static_cast<std::size_t>(row * w + x)] ? 1u : 0u, 1);
}

// Rows in blocks of at most 15: a run of equal rows as one repeat block,
// otherwise as many distinct rows as come before the next run.
void encodeRows(Bytes& out, const Glyph& g)
{
    BitWriter bits(out);
    int row = 0;
    while (row < g.height) {
        int run = 1;
        while (row + run < g.height && run < 15 && sameRow(g, row, row + run))
            ++run;
        if (run > 1) {
            bits.put(static_cast<unsigned>(run) << 1, 5);
            putRow(bits, g, row);
            row += run;
            continue;
        }
        int distinct = 1;
        while (row + distinct < g.height && distinct < 15
               && !(row + distinct + 1 < g.height && sameRow(g, row + distinct, row + distinct + 1)))
            ++distinct;
        bits.put((static_cast<unsigned>(distinct) << 1) | 1u, 5);
        for (int k = 0; k < distinct; ++k)
            putRow(bits, g, row + k);
        row += distinct;
    }
}

struct Section {
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::vector<std::uint16_t> offsets;
    Bytes bitmap;
};

Result<void> checkGlyph(const Glyph& g)
{
    if (g.height < 0 || g.height > 127 || g.width() < 0 || g.width() > 127)
        return fail(HandsetError::BadArgument, "glyph " + std::to_string(g.code) + " has an impossible size");
    if (g.pixels.size() != static_cast<std::size_t>(g.width()) * static_cast<std::size_t>(g.height))
        return fail(HandsetError::BadArgument,
                    "glyph " + std::to_string(g.code) + " has " + std::to_string(g.pixels.size())
                        + " pixels for its size");
    return {};
}

// One font bitmap measured and laid out, ready to be written.
struct LaidOutFont {
    std::vector<MetricKey> metrics;   // in order of first use
    std::vector<Section> sections;
};

// Where one font bitmap's streams landed, for the data stream to refer to.
struct WrittenFont {
    std::uint32_t metricsId = 0;
    std::uint32_t metricsCount = 0;
    std::vector<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t, std::uint32_t>> sections;
};

// Writes the header and the root stream; returns where the data stream id
// is to be patched in.
Result<std::size_t> writeRoot(ByteWriter& w, const FontStore& store)
{
    e32::writeCheckedUids(w, {e32::KDirectFileStoreLayoutUid, e32::KFontStoreFileUid, 0});
    w.u32(20);   // the root stream follows the header
    w.i32(store.version);
    w.u32(store.collectionUid);
    w.i32(store.pixelAspectRatio);
    const std::size_t dataIdAt = w.pos();
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(store.copyright.size()));
    for (const auto& c : store.copyright)
        if (auto r = e32::writeDes16(w, c); !r)
            return fail(r.code(), r.error());
    return dataIdAt;
}

// Checks the glyphs of a font bitmap and collects its distinct metrics.
Result<void> collectMetrics(const FontBitmap& font, std::vector<MetricKey>& metrics,
                            std::map<MetricKey, std::uint16_t>& metricIndex)
{
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        const Glyph& g = font.glyphs[i];
        if (auto r = checkGlyph(g); !r)
            return fail(r.code(), r.error());
        if (i > 0 && font.glyphs[i - 1].code >= g.code)
            return fail(HandsetError::BadArgument,
                        "glyphs are not in ascending code order at " + std::to_string(g.code));
        const MetricKey key = metricOf(g);
        if (!metricIndex.contains(key)) {
            if (metrics.size() >= 0x8000)
                return fail(HandsetError::TooLarge, "too many distinct glyph metrics");
            metricIndex.emplace(key, static_cast<std::uint16_t>(metrics.size()));
            metrics.push_back(key);
        }
    }
    return {};
}

// A glyph as its section's bitmap stream holds it: the metric index, then
// the rows.
Bytes glyphRecord(const Glyph& g, std::uint16_t metricIndex)
{
    Bytes record;
    if (metricIndex < 0x80) {
        record.push_back(static_cast<std::uint8_t>(metricIndex << 1));
    } else {
        record.push_back(static_cast<std::uint8_t>(((metricIndex & 0x7F) << 1) | 1));
        record.push_back(static_cast<std::uint8_t>(metricIndex >> 7));
    }
    encodeRows(record, g);
    return record;
}

// Appends a glyph to the last section, or starts a new one when the gap in
// codes is too wide or the section's offsets would reach the fill value.
void placeGlyph(std::vector<Section>& sections, std::uint16_t code, const Bytes& record)
{
    const bool startNew = sections.empty() || unsigned{code} - sections.back().last > KMaxGapInSection
        || sections.back().bitmap.size() + record.size() >= KFillCharacterOffset;
    if (startNew) {
        Section s;
        s.first = code;
        s.last = code;
        sections.push_back(std::move(s));
    }
    Section& s = sections.back();
    while (!startNew && s.last + 1u < code) {
        s.offsets.push_back(KFillCharacterOffset);
        ++s.last;
    }
    s.last = code;
    s.offsets.push_back(static_cast<std::uint16_t>(s.bitmap.size()));
    s.bitmap.insert(s.bitmap.end(), record.begin(), record.end());
}

Result<LaidOutFont> layOutFont(const FontBitmap& font)
{
    LaidOutFont laid;
    std::map<MetricKey, std::uint16_t> metricIndex;
    if (auto r = collectMetrics(font, laid.metrics, metricIndex); !r)
        return fail(r.code(), r.error());
    for (const Glyph& g : font.glyphs)
        placeGlyph(laid.sections, g.code, glyphRecord(g, metricIndex.at(metricOf(g))));
    return laid;
}

// Writes the metrics stream and the offsets and bitmap stream of every
// section.
WrittenFont writeFontStreams(ByteWriter& w, const LaidOutFont& laid)
{
    WrittenFont wf;
    wf.metricsId = static_cast<std::uint32_t>(w.pos());
    wf.metricsCount = static_cast<std::uint32_t>(laid.metrics.size());
    w.i32(static_cast<std::int32_t>(laid.metrics.size()));
    for (const auto& [ascent, height, left, move, right] : laid.metrics) {
        w.u8(static_cast<std::uint8_t>(ascent));
        w.u8(static_cast<std::uint8_t>(height));
        w.u8(static_cast<std::uint8_t>(left));
        w.u8(static_cast<std::uint8_t>(move));
        w.u8(static_cast<std::uint8_t>(right));
    }
    for (const Section& s : laid.sections) {
        const auto offsetsId = static_cast<std::uint32_t>(w.pos());
        w.i32(static_cast<std::int32_t>(s.offsets.size()));
        for (const std::uint16_t o : s.offsets)
            w.u16(o);
        const auto bitmapId = static_cast<std::uint32_t>(w.pos());
        w.i32(static_cast<std::int32_t>(s.bitmap.size()));
        w.bytes(s.bitmap);
        wf.sections.emplace_back(s.first, s.last, offsetsId, bitmapId);
    }
    return wf;
}

// The data stream's font bitmap headers, which refer to the streams written.
void writeFontHeaders(ByteWriter& w, const FontStore& store, const std::vector<WrittenFont>& written)
{
    w.u32(static_cast<std::uint32_t>(store.fontBitmaps.size()));
    for (std::size_t i = 0; i < store.fontBitmaps.size(); ++i) {
        const FontBitmap& f = store.fontBitmaps[i];
        w.u32(f.uid);
        for (const std::int8_t v : {f.posture, f.strokeWeight, f.isProportional, f.cellHeight, f.ascent, f.maxCharWidth,
                                    f.maxNormalCharWidth})
            w.u8(static_cast<std::uint8_t>(v));
        if (store.version >= 42)
            for (const std::int8_t v : {f.capitalAscent, f.maxAscent, f.standardDescent, f.maxDescent, f.lineGap})
                w.u8(static_cast<std::uint8_t>(v));
        w.i32(0);   // bitmap encoding
        w.u32(written[i].metricsId);
        w.i32(static_cast<std::int32_t>(written[i].metricsCount));
        w.i32(static_cast<std::int32_t>(written[i].sections.size()));
        for (const auto& [first, last, offsetsId, bitmapId] : written[i].sections) {
            w.u16(first);
            w.u16(last);
            w.u32(offsetsId);
            w.u32(bitmapId);
        }
    }
}

Result<void> writeTypefaces(ByteWriter& w, const std::vector<Typeface>& typefaces)
{
    w.u32(static_cast<std::uint32_t>(typefaces.size()));
    for (const Typeface& t : typefaces) {
        if (auto r = e32::writeDes16(w, t.name); !r)
            return fail(r.code(), r.error());
        w.u8(t.attributes);
        w.u32(static_cast<std::uint32_t>(t.sizes.size()));
        for (const TypefaceSize& s : t.sizes) {
            w.u32(s.fontBitmapUid);
            w.u8(static_cast<std::uint8_t>(s.widthFactor));
            w.u8(static_cast<std::uint8_t>(s.heightFactor));
        }
    }
    return {};
}

} // namespace

Result<Bytes> writeFontStore(const FontStore& store)
{
    if (store.version != 39 && store.version != 41 && store.version != 42)
        return fail(HandsetError::Unsupported,
                    "font store version " + std::to_string(store.version) + " is not 39, 41 or 42");

    Bytes out;
    ByteWriter w(out);
    const auto dataIdAt = writeRoot(w, store);
    if (!dataIdAt)
        return fail(dataIdAt.code(), dataIdAt.error());
    std::vector<WrittenFont> written;
    for (const FontBitmap& font : store.fontBitmaps) {
        const auto laid = layOutFont(font);
        if (!laid)
            return fail(laid.code(), laid.error());
        written.push_back(writeFontStreams(w, *laid));
    }
    w.patch32(*dataIdAt, static_cast<std::uint32_t>(w.pos()));
    writeFontHeaders(w, store, written);
    if (auto r = writeTypefaces(w, store.typefaces); !r)
        return fail(r.code(), r.error());
    return out;
}

} // namespace kastra::gdr
