// Picture import: the slot files it writes for every combination of the
// options, computed here from the reduced picture, and the pictures it
// refuses without touching a file.
#include "picture/jpeg.h"
#include "jpeg_encoder.h"
#include "edit/picture_import.h"
#include "preview_fixture.h"
#include "picture/resample.h"

#include <gtest/gtest.h>

#include <map>

using namespace kastra;
using namespace kastra::test;

namespace {

constexpr Colour White = rgb(255, 255, 255);

Colour photo(int x, int y)
{
    return rgb((x * 7 + y) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255);
}

// Every file under the test's folder with its bytes.
std::map<std::string, Bytes> snapshot(const PreviewWorkspace& w)
{
    std::map<std::string, Bytes> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(w.dir.path()))
        if (e.is_regular_file())
            files[e.path().string()] = readBytes(e.path());
    return files;
}

// The picture reduced to 176 x 200, as fitPicture makes it.
Bitmap reduced(Bitmap source)
{
    Bitmap target(176, 200);
    EXPECT_TRUE(fitPicture(source, target));
    return target;
}

Colour bannerPixel(const Bitmap& t, const ImportOptions& o, int x, int y)
{
    if (o.top && (x == 175 || x == (o.bottom ? 0 : 174)))
        return White;
    if (o.top && !o.bottom)
        return t.getPixel(1 + x * 175 / 176, y);   // column 0 dropped, column 1 doubled
    return t.getPixel(x, y);
}

Bytes expectedBackground(const Bitmap& t, const ImportOptions& o)
{
    if (o.bottom)
        return bmp24(175, 132, [&](int x, int y) { return t.getPixel(1 + x * 175 / 176, 68 + y); });
    return bmp24(176, 132, [&](int x, int y) { return t.getPixel(x, 68 + y); });
}

QString writePicture(const PreviewWorkspace& w, const std::string& name, const Bitmap& b)
{
    EXPECT_TRUE(b.writeBmp(w.dir.path() / name));
    return qpath(w.dir.path() / name);
}

class ImportOptionMatrix : public ::testing::TestWithParam<int> {};

TEST_P(ImportOptionMatrix, SlotBytes)
{
    const ImportOptions o{(GetParam() & 1) != 0, (GetParam() & 2) != 0, (GetParam() & 4) != 0};
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'3';
    w.state.stripEdited = true;
    const Bitmap picture = drawn(400, 450, photo);
    const QString path = writePicture(w, "photo.bmp", picture);
    const auto before = snapshot(w);

    Outcome out;
    const QStringList journal = w.writtenBy([&] { out = ImportPicture(w.state, w.ws, path, o); });
    ASSERT_TRUE(out.ok) << out.text.toStdString();
    EXPECT_TRUE(w.state.stripEdited);   // import leaves the flag alone

    const Bitmap t = reduced(picture);
    const Bytes banner = bmp24(176, 68, [&](int x, int y) { return bannerPixel(t, o, x, y); });
    QStringList written;
    for (QChar n : {u'1', u'2', u'3', u'4'}) {
        if (!o.separate || n == u'3') {
            EXPECT_EQ(readBytes(w.file(topSlot(n))), banner) << n.toLatin1();
            written << w.full(topSlot(n));
        } else {
            EXPECT_EQ(readBytes(w.file(topSlot(n))), before.at(w.file(topSlot(n)).string())) << n.toLatin1();
        }
    }
    EXPECT_EQ(readBytes(w.file(QStringLiteral("Back.bmp"))), expectedBackground(t, o));
    EXPECT_EQ(readBytes(w.file(tempSlot(u'3'))), bmp24(176, 12, [&](int x, int y) { return bannerPixel(t, o, x, y); }));
    // Only the current scheme's strip is renewed.
    for (QChar n : {u'1', u'2', u'4'})
        EXPECT_FALSE(w.exists(tempSlot(n)));
    written << w.full(QStringLiteral("Back.bmp")) << w.full(tempSlot(u'3'));
    EXPECT_EQ(journal, written);
}

INSTANTIATE_TEST_SUITE_P(TopBottomSeparate, ImportOptionMatrix, ::testing::Range(0, 8));

TEST(PictureImport, SizeCheck)
{
    struct Case {
        int w, h;
        bool accepted;
    };
    for (const Case c : {Case{176, 200, true}, Case{175, 200, false}, Case{176, 199, false}, Case{175, 1000, false},
                         Case{1000, 199, false}}) {
        PreviewWorkspace w;
        w.fill();
        const QString path = writePicture(w, "p.bmp", drawn(c.w, c.h, photo));
        const auto before = snapshot(w);
        Outcome out;
        const QStringList written = w.writtenBy([&] { out = ImportPicture(w.state, w.ws, path, {}); });
        EXPECT_EQ(out.ok, c.accepted) << c.w << "x" << c.h;
        if (c.accepted) {
            EXPECT_FALSE(out.hasMessage());
            continue;
        }
        ASSERT_TRUE(out.hasMessage());
        EXPECT_EQ(out.text, QStringLiteral("Картинка должна быть больше, либо равна 176х200 !"));
        EXPECT_EQ(out.title, QStringLiteral("Halvorn Kastra Theme Creator v1.11"));
        EXPECT_EQ(out.icon, MessageIcon::Warning);
        EXPECT_TRUE(written.isEmpty());
        EXPECT_EQ(snapshot(w), before) << c.w << "x" << c.h;
    }
}

TEST(PictureImport, DamagedFilesAreNamedAndChangeNothing)
{
    const Bytes goodJpeg = encodeJpeg(16, 16, 3, std::vector<std::uint8_t>(16 * 16 * 3, 128));
    struct Case {
        const char* name;
        Bytes bytes;
        QString (*message)(const QString&) = UnreadableMessage;
    };
    const Bytes pngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Case cases[] = {
        {"broken.bmp", {'B', 'M', 0x10, 0, 0, 0, 0, 0}},
        {"noise.JPG", {0x13, 0x37, 0x00, 0xFF, 0xD8}},
        {"cut.jpeg", Bytes(goodJpeg.begin(), goodJpeg.begin() + 20)},
        {"picture.png", pngSignature, UnreadablePngMessage},
        {"noise.PNG", {0x13, 0x37}, UnreadablePngMessage},
        {"photo.jpg", pngSignature, UnreadablePngMessage},
        {"empty.bmp", {}},
    };
    for (const Case& c : cases) {
        PreviewWorkspace w;
        w.fill();
        writeBytes(w.dir.path() / c.name, c.bytes);
        const auto before = snapshot(w);
        const Outcome out = ImportPicture(w.state, w.ws, qpath(w.dir.path() / c.name), {});
        ASSERT_TRUE(out.hasMessage()) << c.name;
        EXPECT_TRUE(out.text.contains(QString::fromLatin1(c.name))) << out.text.toStdString();
        EXPECT_EQ(out.text, c.message(qpath(w.dir.path() / c.name)));
        EXPECT_NE(out.text, TooSmallMessage());
        EXPECT_EQ(out.title, QStringLiteral("Halvorn Kastra Theme Creator v1.11"));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(snapshot(w), before) << c.name;
    }
    // A file that is not there at all.
    PreviewWorkspace w;
    const Outcome out = ImportPicture(w.state, w.ws, qpath(w.dir.path() / "gone.bmp"), {});
    ASSERT_TRUE(out.hasMessage());
    EXPECT_TRUE(out.text.contains(QStringLiteral("gone.bmp")));
}

// A picture over the size limits is not called damaged: the message says it
// is too large and what the limit is.
TEST(PictureImport, TooLargePicturesSaySoWithTheLimit)
{
    // A sound JPEG whose frame header names 20000 x 20000 (decoding one for
    // real would take a minute), and a BMP header of 40000 x 10.
    Bytes jpeg = encodeJpeg(16, 16, 3, std::vector<std::uint8_t>(16 * 16 * 3, 128));
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = 20000 >> 8, jpeg[i + 6] = 20000 & 0xFF, jpeg[i + 7] = 20000 >> 8, jpeg[i + 8] = 20000 & 0xFF;
            break;
        }
    }
    Bytes bmp(54, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
    bmp[18] = 40000 & 0xFF, bmp[19] = 40000 >> 8, bmp[22] = 10;
    // A BMP one row over what a person imports, though the reader would
    // take it.
    Bytes bmpOverImport = bmp;
    bmpOverImport[18] = 8000 & 0xFF, bmpOverImport[19] = 8000 >> 8;
    bmpOverImport[22] = 7001 & 0xFF, bmpOverImport[23] = 7001 >> 8;
    const struct {
        const char* name;
        Bytes bytes;
        QString message;
    } cases[] = {
        {"huge.jpg", jpeg, TooLargeMessage(20000, 20000, true)},
        {"wide.bmp", bmp, TooLargeMessage(40000, 10, false)},
        {"large.bmp", bmpOverImport, TooLargeMessage(8000, 7001, false)},
    };
    for (const auto& c : cases) {
        PreviewWorkspace w;
        w.fill();
        writeBytes(w.dir.path() / c.name, c.bytes);
        const auto before = snapshot(w);
        const Outcome out = ImportPicture(w.state, w.ws, qpath(w.dir.path() / c.name), {});
        ASSERT_TRUE(out.hasMessage()) << c.name;
        EXPECT_EQ(out.text, c.message);
        EXPECT_EQ(snapshot(w), before) << c.name;
    }
    EXPECT_EQ(TooLargeMessage(20000, 20000, true),
              QStringLiteral("Картинка слишком большая: 20000 × 20000 точек. Программа открывает картинки не больше "
                             "32768 точек по каждой стороне и не больше 65 миллионов точек всего."));
    EXPECT_TRUE(TooLargeMessage(8000, 7001, false).endsWith(QStringLiteral("не больше 56 миллионов точек всего.")));
}

TEST(PictureImport, ExtensionChoosesTheReader)
{
    const Bitmap picture = drawn(176, 200, photo);
    std::vector<std::uint8_t> rgbPixels;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 176; ++x) {
            const Colour c = photo(x, y);
            rgbPixels.insert(rgbPixels.end(), {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                               static_cast<std::uint8_t>(blueOf(c))});
        }
    const Bytes jpeg = encodeJpeg(176, 200, 3, rgbPixels, 95);
    struct Case {
        const char* name;
        bool bmp;
    };
    for (const Case c : {Case{"UPPER.BMP", true}, Case{"mixed.Bmp", true}, Case{"photo.jpeg", false},
                         Case{"photo.png", false}, Case{"photo", false}}) {
        PreviewWorkspace w;
        if (c.bmp)
            writePicture(w, c.name, picture);
        else
            writeBytes(w.dir.path() / c.name, jpeg);
        const Outcome out = ImportPicture(w.state, w.ws, qpath(w.dir.path() / c.name), {});
        ASSERT_TRUE(out.ok) << c.name;
        Bitmap source = c.bmp ? picture : *decodeJpeg(jpeg);
        const Bitmap t = reduced(source);
        EXPECT_EQ(readBytes(w.file(topSlot(u'1'))), bmp24(176, 68, [&](int x, int y) { return t.getPixel(x, y); }))
            << c.name;
    }
}

TEST(PictureImport, PalettedAndLargePictures)
{
    // An 8-bit BMP and a large JPEG both come out as 24-bit slots.
    PreviewWorkspace w;
    const Bitmap grey = drawn(352, 400, [](int x, int y) {
        const unsigned v = static_cast<unsigned>((x + y) & 255);
        return rgb(v, v, v);
    }, 8);
    const QString path = writePicture(w, "grey.bmp", grey);
    ASSERT_TRUE(ImportPicture(w.state, w.ws, path, {}).ok);
    const Bitmap t = reduced(grey);
    EXPECT_EQ(readBytes(w.file(QStringLiteral("Back.bmp"))), expectedBackground(t, {}));

    const int W = 2400, H = 1800;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(W) * H * 3);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint8_t>((i * 31 / 7) ^ (i / (W * 3)));
    const Bytes jpeg = encodeJpeg(W, H, 3, px, 85);
    writeBytes(w.dir.path() / "large.jpg", jpeg);
    const Outcome out = ImportPicture(w.state, w.ws, qpath(w.dir.path() / "large.jpg"), {true, true, false});
    ASSERT_TRUE(out.ok);
    const Bitmap big = reduced(*decodeJpeg(jpeg));
    EXPECT_EQ(readBytes(w.file(topSlot(u'4'))),
              bmp24(176, 68, [&](int x, int y) { return bannerPixel(big, {true, true, false}, x, y); }));
}

} // namespace
