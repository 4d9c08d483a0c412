#pragma once
// The theme's own pixel font: Latin (ASCII and the German letters) and
// Cyrillic in a 10-row cell, drawn here by hand. The same glyphs letter the
// default pictures and become the handset font (FONT payload).
//
// Rows 0-7 lie above the baseline (row 0 only carries the marks of Ё, Й and
// the umlauts), rows 8-9 below it. Capitals are 7 rows high (1-7), small
// letters 5 (3-7).

#include <cstdint>
#include <string_view>
#include <vector>

namespace kastra::art {

struct FontGlyph {
    char16_t code = 0;
    int width = 0;                          // ink columns; the advance is width + 1
    std::uint16_t rows[10] = {};            // bit x set: ink in column x (0 = left)
};

class PixelFont {
public:
    static constexpr int Height = 10;
    static constexpr int Ascent = 8;        // rows above the baseline

    // The one font, built once from its glyph table.
    static const PixelFont& standard();

    // The glyph of a code, or the replacement box for codes the font lacks.
    const FontGlyph& glyph(char16_t code) const;
    bool has(char16_t code) const;
    int advance(char16_t code) const { return glyph(code).width + 1; }
    int textWidth(std::u16string_view text) const;
    // Every glyph in ascending code order (the replacement box included).
    const std::vector<FontGlyph>& glyphs() const { return m_glyphs; }

    static constexpr char16_t Replacement = 0xF6DB;

private:
    PixelFont();
    std::vector<FontGlyph> m_glyphs;
};

} // namespace kastra::art
