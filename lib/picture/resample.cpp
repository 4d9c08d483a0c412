#include "picture/resample.h"

#include "base/fileio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace kastra {

namespace {

// Block boundaries b(k) = floor(k * scale) for k = 0 .. n, with the product
// of the integer and the 32-bit float formed in double precision. Returns the
// per-destination counts b(k + 1) - b(k).
std::vector<std::uint32_t> blockCounts(int n, float scale)
{
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(n));
    std::uint32_t previous = 0;
    for (int k = 1; k <= n; ++k) {
        const auto b = static_cast<std::uint32_t>(std::floor(static_cast<double>(k) * static_cast<double>(scale)));
        counts[static_cast<std::size_t>(k - 1)] = b - previous;
        previous = b;
    }
    return counts;
}

// 12 m - d over 8, truncated toward zero, then clamped to a byte.
std::uint8_t sharpened(int m, int d)
{
    const int v = (12 * m - d) / 8;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Block averages of source into destination; Sum holds a column total of
// one block row.
template <class Sum, std::size_t PixelBytes>
void averageBlocks(const Bitmap& source, Bitmap& destination, const std::vector<std::uint32_t>& cx,
                   const std::vector<std::uint32_t>& cy)
{
    const std::size_t usedBytes = static_cast<std::size_t>(std::accumulate(cx.begin(), cx.end(), 0u)) * PixelBytes;
    std::vector<Sum> columnSums(usedBytes);
    int sourceRow = 0;
    for (std::size_t j = 0; j < cy.size(); ++j) {
        std::fill(columnSums.begin(), columnSums.end(), Sum{0});
        Sum* acc = columnSums.data();
        for (std::uint32_t r = 0; r < cy[j]; ++r, ++sourceRow) {
            const std::uint8_t* p = source.rowPtr(sourceRow);
            for (std::size_t k = 0; k < usedBytes; ++k)
                acc[k] = static_cast<Sum>(acc[k] + p[k]);
        }
        // Average with 65535 div n, not 65536: even a one-to-one copy comes
        // out one lower in every channel above 0, as the handset tool did.
        std::uint8_t* out = destination.rowPtr(static_cast<int>(j));
        const Sum* block = columnSums.data();
        for (std::size_t i = 0; i < cx.size(); ++i) {
            std::uint32_t sum[3] = {0, 0, 0};
            for (std::uint32_t c = 0; c < cx[i]; ++c, block += PixelBytes) {
                sum[0] += block[0];
                sum[1] += block[1];
                sum[2] += block[2];
            }
            const std::uint32_t f = 65535u / (cx[i] * cy[j]);
            for (std::size_t ch = 0; ch < 3; ++ch)
                out[3 * i + ch] = static_cast<std::uint8_t>((sum[ch] * f) >> 16);
        }
    }
}

// Whether the pixels are blue, green, red bytes followed by one unused byte,
// as a 32-bit BMP without bit fields stores them: such a picture is averaged
// as it is, which spares a large photo the 24-bit copy.
bool plainRgb32(const Bitmap& picture)
{
    constexpr std::array<std::uint32_t, 3> Plain{0x00FF0000u, 0x0000FF00u, 0x000000FFu};
    return picture.depth() == 32 && picture.bmpInfo().masks == Plain;
}

} // namespace

bool fitPicture(Bitmap& source, Bitmap& destination)
{
    if (!plainRgb32(source))
        source.toRgb24();
    destination.toRgb24();
    const int sw = source.width(), sh = source.height();
    const int dw = destination.width(), dh = destination.height();
    if (destination.empty() || sw < dw || sh < dh)
        return false;

    const auto sx = static_cast<float>(static_cast<double>(sw) / dw);
    const auto sy = static_cast<float>(static_cast<double>(sh) / dh);
    const std::vector<std::uint32_t> cx = blockCounts(dw, sx);
    const std::vector<std::uint32_t> cy = blockCounts(dh, sy);

    // Each block row is first summed down its source rows into one running
    // total per source byte (a straight loop the compiler vectorises), then
    // across each block's columns: every source pixel is read once, and the
    // per-block work is done once per destination row. Totals fit 16 bits
    // while a block has at most 257 rows, which halves the memory they take.
    const bool narrowSums = *std::max_element(cy.begin(), cy.end()) <= 65535u / 255u;
    if (source.depth() == 32)
        narrowSums ? averageBlocks<std::uint16_t, 4>(source, destination, cx, cy)
                   : averageBlocks<std::uint32_t, 4>(source, destination, cx, cy);
    else
        narrowSums ? averageBlocks<std::uint16_t, 3>(source, destination, cx, cy)
                   : averageBlocks<std::uint32_t, 3>(source, destination, cx, cy);

    // Sharpen in place, top to bottom and left to right: the row above is
    // read as already sharpened, the centre and the row below not yet. The
    // outermost rows and columns keep their averages.
    if (dh >= 3) {
        for (int y = 1; y <= dh - 2; ++y) {
            const std::uint8_t* above = destination.rowPtr(y - 1);
            std::uint8_t* row = destination.rowPtr(y);
            const std::uint8_t* below = destination.rowPtr(y + 1);
            for (int x = 1; x <= dw - 2; ++x) {
                for (int ch = 0; ch < 3; ++ch) {
                    const int l = 3 * (x - 1) + ch, c = 3 * x + ch, r = 3 * (x + 1) + ch;
                    const int d = above[l] + above[r] + below[l] + below[r];
                    row[c] = sharpened(row[c], d);
                }
            }
        }
    }
    return true;
}

} // namespace kastra
