#pragma once
// Symbian font store files (.gdr) as the SDK's font translator writes them:
// a direct file store of bitmap fonts.
//
//   header  checked UIDs 0x10000037 0x10000039 0, then the root stream id
//           (stream ids are file offsets)
//   root    i32 translator version (39 for the first Series 60 handsets, 41,
//           42), u32 collection UID, i32 pixel aspect ratio x 1000, u32 data
//           stream id, u32 count of copyright descriptors and the descriptors
//   data    u32 count of font bitmaps, each:
//             u32 uid; i8 posture, stroke weight, is-proportional, cell
//             height, ascent, max char width, max normal char width;
//             (version 42 only: i8 capital ascent, max ascent, standard
//             descent, max descent, line gap); i32 bitmap encoding (0);
//             u32 metrics stream id; i32 metrics count; i32 section count;
//             per code section: u16 first, u16 last, u32 offsets stream id,
//             u32 bitmap stream id (sections sorted: the handset
//             binary-searches them)
//           u32 count of typefaces, each: the name (16-bit descriptor,
//           e32des.h), u8 attributes (1 proportional, 2 serif, 4 symbol),
//           u32 count, then (u32 font bitmap uid, i8 width factor, i8 height
//           factor) per size
//   metrics i32 count, then per metric i8 ascent, height, left adjust, move
//           (advance), right adjust; glyph width = move - left - right
//   offsets i32 count (last - first + 1), u16 per character: byte offset of
//           its glyph in the section's bitmap stream, 0x7FFF for none (the
//           handset then draws U+F6DB)
//   bitmap  i32 byte length, then the glyphs. A glyph is its metric index
//           (one byte idx << 1, or two bytes ((idx & 0x7F) << 1 | 1, idx >> 7)),
//           then its rows as a bit stream read least significant bit first:
//           blocks with a 5-bit header, bit 0 clear: bits 1-4 give n and one
//           row follows that fills n rows; bit 0 set: n distinct rows follow.
//           A row is `width` bits, leftmost pixel first.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kastra::gdr {

inline constexpr std::int32_t KFnttran7650Version = 39;
inline constexpr std::uint16_t KFillCharacterOffset = 0x7FFF;
inline constexpr char16_t KReplacementCharacter = 0xF6DB;

struct Glyph {
    std::uint16_t code = 0;
    std::int8_t ascent = 0;        // rows above the baseline
    std::int8_t leftAdjust = 0;
    std::int8_t move = 0;          // advance to the next glyph
    std::int8_t rightAdjust = 0;
    int height = 0;
    // width = move - leftAdjust - rightAdjust; width * height values, top row
    // first, 1 where the glyph has ink.
    int width() const { return move - leftAdjust - rightAdjust; }
    std::vector<std::uint8_t> pixels;
    friend bool operator==(const Glyph&, const Glyph&) = default;
};

struct FontBitmap {
    std::uint32_t uid = 0;
    std::int8_t posture = 0;
    std::int8_t strokeWeight = 0;
    std::int8_t isProportional = 1;
    std::int8_t cellHeight = 0;
    std::int8_t ascent = 0;
    std::int8_t maxCharWidth = 0;
    std::int8_t maxNormalCharWidth = 0;
    // Stored by version 42 only.
    std::int8_t capitalAscent = 0;
    std::int8_t maxAscent = 0;
    std::int8_t standardDescent = 0;
    std::int8_t maxDescent = 0;
    std::int8_t lineGap = 0;
    std::vector<Glyph> glyphs;     // ascending, unique codes
};

struct TypefaceSize {
    std::uint32_t fontBitmapUid = 0;
    std::int8_t widthFactor = 1;
    std::int8_t heightFactor = 1;
};

struct Typeface {
    std::u16string name;
    std::uint8_t attributes = 0;
    std::vector<TypefaceSize> sizes;
};

struct FontStore {
    std::int32_t version = KFnttran7650Version;
    std::uint32_t collectionUid = 0;
    std::int32_t pixelAspectRatio = 1000;
    std::vector<std::u16string> copyright;
    std::vector<FontBitmap> fontBitmaps;
    std::vector<Typeface> typefaces;
};

// Fails for glyphs out of order or with inconsistent sizes, for a version
// other than 39, 41 or 42, or when a code section's glyphs exceed the 16-bit
// offsets.
Result<Bytes> writeFontStore(const FontStore& store);

// Reads every font bitmap with its glyphs (fill entries are left out) and
// every typeface. Every count and stream id is checked against the file.
Result<FontStore> readFontStore(ByteSpan file);

// The glyph for a code, or nullptr.
const Glyph* findGlyph(const FontBitmap& font, std::uint16_t code);

} // namespace kastra::gdr
