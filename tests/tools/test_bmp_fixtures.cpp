// BMP files as GIMP and ImageMagick save them (tests/data/bmp, made by
// scripts/make-bmp-fixtures): each reads to the pixels Qt's own BMP reader
// gives (ImageMagick's, kept beside the 16-bit files, where Qt reads none or
// widens 5 bits by a plain shift), packs with our bmconv, and where the SDK's bmconv packs the file
// right, our MBM is the SDK tool's byte for byte (tests/data/bmp/sdk).
#include "picture/bitmap.h"
#include "mbm/mbm.h"
#include "test_support.h"
#include "tool_runner.h"

#include <QImage>
#include <QString>

#include <algorithm>

#include <gtest/gtest.h>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

const fs::path kData = fs::path(KASTRA_BMP_DATA_DIR);

struct Fixture {
    const char* name;
    int depth;          // as the reader keeps it
    bool sdkPacks;      // the SDK tool packs this file with its right pixels
};
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

class BmpFixture : public ::testing::TestWithParam<Fixture> {};

// The colours another reader gives, row by row from the top: ImageMagick's
// decode where one is kept beside the file, Qt's otherwise.
std::vector<Colour> independentPixels(const fs::path& file)
{
    std::vector<Colour> out;
    fs::path rgbFile = file;
    rgbFile.replace_extension(".rgb");
    if (fs::exists(rgbFile)) {
        const Bytes b = readBytes(rgbFile);
        for (std::size_t i = 0; i + 2 < b.size(); i += 3)
            out.push_back(rgb(b[i], b[i + 1], b[i + 2]));
        return out;
    }
    const QImage image(QString::fromStdString(file.string()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            out.push_back(rgb(static_cast<unsigned>(qRed(c)), static_cast<unsigned>(qGreen(c)),
                              static_cast<unsigned>(qBlue(c))));
        }
    return out;
}

} // namespace

TEST_P(BmpFixture, ReadsAsQtReadsItAndPacks)
{
    const Fixture& f = GetParam();
    const fs::path file = kData / (std::string(f.name) + ".bmp");
    auto picture = readBmp(file);
    ASSERT_TRUE(picture) << picture.error();
    const std::vector<Colour> expected = independentPixels(file);
    ASSERT_EQ(expected.size(), 24u * 16u);
    ASSERT_EQ(picture->width(), 24);
    ASSERT_EQ(picture->height(), 16);
    EXPECT_EQ(picture->depth(), f.depth);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(picture->getPixel(x, y), expected[static_cast<std::size_t>(y * 24 + x)]) << x << "," << y;

    // Our bmconv packs it at 24 bits with exactly these colours.
    TempDir dir;
    fs::copy_file(file, dir.path() / "in.bmp");
    const auto run = test::runTool("bmconv", dir.path(), "/q out.mbm /c24in.bmp");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto bitmaps = mbm::readMbm(readBytes(dir.path() / "out.mbm"));
    ASSERT_TRUE(bitmaps) << bitmaps.error();
    ASSERT_EQ(bitmaps->size(), 1u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            const mbm::Rgb p = (*bitmaps)[0].pixel(x, y);
            ASSERT_EQ(rgb(p.r, p.g, p.b), picture->getPixel(x, y)) << x << "," << y;
        }

    // With the SDK's grey rule, the SDK tool's own MBM byte for byte.
    if (f.sdkPacks) {
        const auto sdk = test::runTool("bmconv", dir.path(), "/q /g sdk.mbm /c24in.bmp");
        ASSERT_EQ(sdk.exitCode, 0) << sdk.output;
        EXPECT_EQ(readBytes(dir.path() / "sdk.mbm"), readBytes(kData / "sdk" / (std::string(f.name) + ".mbm")));
    }
}

// The SDK tool refuses RLE and bit fields, and reads a 108- or 124-byte
// header as a 40-byte one: the colour-space fields become pixels and the
// picture slides 28 pixels along (checked with the tool built from its
// published sources). Only files with a 40-byte header are compared.
INSTANTIATE_TEST_SUITE_P(
    RealPrograms, BmpFixture,
    ::testing::Values(Fixture{"gimp-rgb", 24, false}, Fixture{"gimp-indexed", 8, false},
                      Fixture{"gimp-indexed-v3", 8, true}, Fixture{"gimp-indexed4", 4, false},
                      Fixture{"gimp-mono", 1, false}, Fixture{"gimp-grey", 8, false}, Fixture{"gimp-rle8", 8, false},
                      Fixture{"gimp-rle4", 4, false}, Fixture{"gimp-alpha", 32, false}, Fixture{"gimp-565", 16, false},
                      Fixture{"gimp-555", 16, false}, Fixture{"im-default", 24, false},
                      Fixture{"im-palette", 8, false}, Fixture{"im-565", 16, false}, Fixture{"im-bmp2", 24, false},
                      Fixture{"im-bmp3", 24, true}, Fixture{"im-bmp3-palette", 8, true}),
    [](const auto& p) {
        std::string n = p.param.name;
        std::replace(n.begin(), n.end(), '-', '_');
        return n;
    });
