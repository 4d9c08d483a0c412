#include "resample.h"

#include "fileio.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

} // namespace

bool fitPicture(Bitmap& source, Bitmap& destination)
{
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

    // Destination column of every used source column, so that each source row
    // is summed in one pass over its bytes.
    std::vector<std::uint32_t> columnOf;
    columnOf.reserve(static_cast<std::size_t>(sw));
    for (std::size_t i = 0; i < cx.size(); ++i)
        columnOf.insert(columnOf.end(), cx[i], static_cast<std::uint32_t>(i));
    const std::size_t usedColumns = columnOf.size();

    std::vector<std::uint32_t> sums(static_cast<std::size_t>(dw) * 3);
    int sourceRow = 0;
    for (int j = 0; j < dh; ++j) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::uint32_t r = 0; r < cy[static_cast<std::size_t>(j)]; ++r, ++sourceRow) {
            const std::uint8_t* p = source.rowPtr(sourceRow);
            for (std::size_t c = 0; c < usedColumns; ++c, p += 3) {
                std::uint32_t* s = &sums[3 * columnOf[c]];
                s[0] += p[0];
                s[1] += p[1];
                s[2] += p[2];
            }
        }
        // Average with 65535 div n, not 65536: even a one-to-one copy comes
        // out one lower in every channel above 0, as the handset tool did.
        std::uint8_t* out = destination.rowPtr(j);
        for (int i = 0; i < dw; ++i) {
            const std::uint32_t n = cx[static_cast<std::size_t>(i)] * cy[static_cast<std::size_t>(j)];
            const std::uint32_t f = 65535u / n;
            for (int ch = 0; ch < 3; ++ch)
                out[3 * i + ch] = static_cast<std::uint8_t>((sums[static_cast<std::size_t>(3 * i + ch)] * f) >> 16);
        }
    }

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

void MakeNoSignalMask(const std::filesystem::path& workspaceRoot)
{
    Bitmap picture;
    picture.readBmp(workspaceRoot / nativePath("Signal\\000.bmp"));
    picture.makeMask(picture.getPixel(0, 0));
    picture.writeBmp(workspaceRoot / nativePath("Signal\\006.bmp"));
}

} // namespace kastra
