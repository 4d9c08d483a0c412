#pragma once
// A workspace of its own for every test: a workspace root and a program
// folder in a temporary folder, both passed in as a Workspace. Shared by the
// workspace, converter and theme file tests.

#include "picture/bitmap.h"
#include "base/bytes.h"
#include "mbm/mbm.h"
#include "workspace/slots.h"
#include "test_support.h"
#include "workspace/workspace.h"

#include <QDir>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kastra::test {

namespace fs = std::filesystem;

inline QString qpath(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

class WorkspaceTest : public ::testing::Test {
protected:
    WorkspaceTest() { fs::create_directories(dir.path() / "program"); }

    // A file of the workspace by its slot name ("Avkon\445.bmp").
    fs::path slot(const QString& name) const { return fs::path(slotPath(ws.root(), name).toStdString()); }
    fs::path slot(SlotFolder folder, int index) const { return slot(slotName(folder, index)); }
    fs::path root() const { return fs::path(ws.root().toStdString()); }
    fs::path program() const { return fs::path(ws.programFolder().toStdString()); }

    std::size_t filesIn(const fs::path& folder) const
    {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(folder))
            n += e.is_regular_file() ? 1 : 0;
        return n;
    }

    TempDir dir;
    Workspace ws{qpath(dir.path() / "base" / "Temp" / "WorkDir") + u'/', qpath(dir.path() / "program") + u'/'};
};

inline Bytes bytesOf(const QByteArray& a)
{
    return Bytes(a.begin(), a.end());
}

// Every bitmap of an MBM file; fails the test when it does not read.
inline std::vector<mbm::MbmBitmap> readMbmFile(const fs::path& p)
{
    const Bytes bytes = readBytes(p);
    auto bitmaps = mbm::readMbm(bytes);
    EXPECT_TRUE(bitmaps.ok()) << p << ": " << (bitmaps.ok() ? "" : bitmaps.error());
    return bitmaps.ok() ? *bitmaps : std::vector<mbm::MbmBitmap>{};
}

// A 24-bit picture whose pixel (x, y) is colourAt(x, y).
template <class F>
Bitmap picture(int width, int height, F colourAt)
{
    Bitmap b = Bitmap::create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, colourAt(x, y));
    return b;
}

inline void writePicture(const fs::path& p, const Bitmap& b)
{
    ASSERT_TRUE(b.writeBmp(p).ok()) << p;
}

inline Bitmap readPicture(const fs::path& p)
{
    return readBmpOrEmpty(p);
}

// Writes an MBM file of 24-bit bitmaps made from the pictures.
// modeOf gives the depth of bitmap i (24-bit colour when not given): a load
// refuses a theme file whose depths are not those its slots are packed with.
inline void writeMbmOf(const fs::path& p, const std::vector<Bitmap>& pictures,
                       mbm::Mode (*modeOf)(std::size_t) = nullptr)
{
    std::vector<mbm::MbmBitmap> bitmaps;
    for (const Bitmap& pic : pictures) {
        std::vector<mbm::Rgb> pixels;
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x) {
                const Colour c = pic.getPixel(x, y);
                pixels.push_back(mbm::Rgb{static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                     static_cast<std::uint8_t>(blueOf(c))});
            }
        const mbm::Mode mode = modeOf ? modeOf(bitmaps.size()) : mbm::Mode{24, true};
        auto bm = mbm::makeBitmap(mode, pic.width(), pic.height(), pixels, 0, 0);
        ASSERT_TRUE(bm.ok()) << bm.error();
        bitmaps.push_back(*bm);
    }
    auto bytes = mbm::writeMbm(bitmaps, mbm::Store::Compressed);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    writeBytes(p, *bytes);
}

// The byte content of every file in the list, to compare before and after.
inline std::vector<Bytes> snapshot(const std::vector<fs::path>& files)
{
    std::vector<Bytes> out;
    for (const fs::path& f : files)
        out.push_back(readBytes(f));
    return out;
}

} // namespace kastra::test
