// The default theme as the generator draws it: the payloads unpacked with
// our own bmconv have the counts, depths and sizes the program relies on,
// every mask is the corner mask of its picture, the generator is
// deterministic, and the default desktop composes as the preview shows it.
#include "avkon_depths.h"
#include "mkdefaults/art.h"
#include "mkdefaults/avkon.h"
#include "picture/bitmap.h"
#include "mkdefaults/generate.h"
#include "mbm/mbm.h"
#include "mkdefaults/pixelfont.h"
#include "test_support.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

const fs::path kPayloads(KASTRA_PAYLOAD_DIR);

Bytes pkg(const char* name)
{
    return readBytes(kPayloads / "PKG" / name);
}

int run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return status;
}

// Unpacks an MBM with this build's bmconv, as the workspace set-up does:
// a command file in the folder, bitmap i to "<prefix>NNN.bmp".
std::vector<Bitmap> unpack(const fs::path& mbm, std::size_t count, const fs::path& dir)
{
    std::string com = "/u " + mbm.string() + "\r\n";
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "b%03zu.bmp\r\n", i);
        com += name;
    }
    writeBytes(dir / "com.txt", Bytes(com.begin(), com.end()));
    EXPECT_EQ(run("cd '" + dir.string() + "' && '" KASTRA_BIN_DIR "/bmconv' com.txt >/dev/null"), 0);
    std::vector<Bitmap> out;
    for (std::size_t i = 0;; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "b%03zu.bmp", i);
        if (!fs::exists(dir / name))
            break;
        auto b = readBmp(dir / name);
        EXPECT_TRUE(b) << b.error();
        out.push_back(b ? std::move(*b) : Bitmap());
    }
    return out;
}

// The mask the program derives before packing: white where the pixel has
// the colour of pixel (0, 0).
void expectCornerMask(const Bitmap& picture, const Bitmap& mask, const std::string& what)
{
    ASSERT_EQ(mask.width(), picture.width()) << what;
    ASSERT_EQ(mask.height(), picture.height()) << what;
    const Colour key = picture.getPixel(0, 0);
    int mismatches = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const bool clear = picture.getPixel(x, y) == key;
            const Colour m = mask.getPixel(x, y);
            if ((m == rgb(255, 255, 255)) != clear || (m != rgb(255, 255, 255) && m != rgb(0, 0, 0)))
                ++mismatches;
        }
    EXPECT_EQ(mismatches, 0) << what;
}

std::set<Colour> colours(const Bitmap& b)
{
    std::set<Colour> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            out.insert(b.getPixel(x, y));
    return out;
}

void expectPicture(const Bitmap& b, const art::Picture& p, const std::string& what)
{
    ASSERT_EQ(b.width(), p.width()) << what;
    ASSERT_EQ(b.height(), p.height()) << what;
    int differ = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            differ += b.getPixel(x, y) != p.at(x, y) ? 1 : 0;
    EXPECT_EQ(differ, 0) << what;
}

const std::vector<std::string> kGenerated = {
    "AVKON",  "AVKONEX", "MENUF",  "SPLT",   "NIMG",   "ABOUT",  "FONT",   "DEL_F",  "DEL_L",
    "RES",    "RES_AV",  "APPAIF", "APPAPP", "APPR1",  "APPR3",  "APPR16", "APPCR1", "APPCR3",
    "APPCR16", "MENAIF", "MENAPP", "MENR1",  "MENR3",  "MENR16", "MENCR1", "MENCR3", "MENCR16"};

} // namespace

TEST(Mkdefaults, BuildingTwiceGivesTheSameBytes)
{
    TempDir a;
    TempDir b;
    const std::string tool = KASTRA_MKDEFAULTS;
    const std::string list = std::string(KASTRA_SOURCE_DIR) + "/resources/avkon_pack_list.txt";
    ASSERT_EQ(run("'" + tool + "' '" + a.path().string() + "' '" + list + "'"), 0);
    ASSERT_EQ(run("'" + tool + "' '" + b.path().string() + "' '" + list + "'"), 0);
    std::set<std::string> written;
    for (const auto& e : fs::directory_iterator(a.path() / "PKG"))
        written.insert(e.path().filename().string());
    EXPECT_EQ(written, std::set<std::string>(kGenerated.begin(), kGenerated.end()));
    for (const std::string& name : kGenerated) {
        const Bytes first = readBytes(a.path() / "PKG" / name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, readBytes(b.path() / "PKG" / name)) << name;
        EXPECT_EQ(first, readBytes(kPayloads / "PKG" / name)) << name;
    }
}

TEST(Mkdefaults, GeneratorRefusesAPackListThatDoesNotFitItsPictures)
{
    const Bytes list = readBytes(fs::path(KASTRA_SOURCE_DIR) / "resources" / "avkon_pack_list.txt");
    std::string text(list.begin(), list.end());
    // The mask of the small standard folder packed as colour.
    const std::string maskEntry = "/1Avkon\\137.bmp";
    const auto at = text.find(maskEntry);
    ASSERT_NE(at, std::string::npos);
    std::string broken = text;
    broken.replace(at, 2, "/c8");
    auto r = art::avkonMbm(Bytes(broken.begin(), broken.end()));
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find("136"), std::string::npos) << r.error();
    // An entry out of order.
    std::string swapped = text;
    swapped.replace(swapped.find("Avkon\\010.bmp"), 13, "Avkon\\011.bmp");
    EXPECT_FALSE(art::avkonPrefixes(Bytes(swapped.begin(), swapped.end())).ok());
    // One entry short.
    std::string shortList = text.substr(0, text.rfind("/c8Avkon\\506"));
    EXPECT_FALSE(art::avkonPrefixes(Bytes(shortList.begin(), shortList.end())).ok());
    EXPECT_FALSE(art::avkonPrefixes(Bytes{}).ok());
}

TEST(Mkdefaults, AvkonDepthsFollowThePackList)
{
    auto bitmaps = mbm::readMbm(pkg("AVKON"));
    ASSERT_TRUE(bitmaps.ok()) << bitmaps.error();
    ASSERT_EQ(bitmaps->size(), 508u);
    const std::string letters = test::avkonDepths();
    for (std::size_t i = 0; i < 508; ++i) {
        mbm::Mode expected{letters[i] == 'c' ? 8 : letters[i] == 'm' ? 1 : 12, letters[i] != 'm'};
        if (i == 186 || i == 194 || i == 266 || i == 268 || i == 406)
            expected = {8, true};
        EXPECT_EQ((*bitmaps)[i].mode(), expected) << "Avkon " << i;
    }
}

TEST(Mkdefaults, AvkonUnpacksToPicturesAndCornerMasks)
{
    TempDir dir;
    const std::vector<Bitmap> b = unpack(kPayloads / "PKG" / "AVKON", 508, dir.path());
    ASSERT_EQ(b.size(), 508u);
    struct Size {
        int index;
        int w;
        int h;
    };
    for (const Size s : {Size{136, 42, 29}, Size{137, 42, 29}, Size{138, 44, 44}, Size{139, 44, 44},
                         Size{202, 30, 40}, Size{203, 30, 40}, Size{445, 44, 12}, Size{446, 44, 12}}) {
        EXPECT_EQ(b[static_cast<std::size_t>(s.index)].width(), s.w) << s.index;
        EXPECT_EQ(b[static_cast<std::size_t>(s.index)].height(), s.h) << s.index;
    }
    // Every 1-bit bitmap right after a colour bitmap is its corner mask; the
    // others are black-and-white pictures of their own.
    const std::string letters = test::avkonDepths();
    int masks = 0;
    int pictures = 0;
    for (std::size_t i = 0; i < 508; ++i) {
        const bool mono = letters[i] == 'm' && i != 406;
        const bool afterColour = i > 0 && (letters[i - 1] != 'm' || i - 1 == 406);
        if (mono && afterColour) {
            expectCornerMask(b[i - 1], b[i], "Avkon " + std::to_string(i));
            ++masks;
        } else if (mono) {
            EXPECT_EQ(colours(b[i]), (std::set<Colour>{rgb(0, 0, 0), rgb(255, 255, 255)})) << "Avkon " << i;
            ++pictures;
        }
        // Nothing is blank.
        EXPECT_GE(colours(b[i]).size(), 2u) << "Avkon " << i;
        EXPECT_LE(b[i].width(), 176) << "Avkon " << i;
        EXPECT_LE(b[i].height(), 220) << "Avkon " << i;
    }
    EXPECT_EQ(masks + pictures, 254);
    EXPECT_EQ(pictures, 36);
    // Index 406 is a colour picture of black and white only, so packing it
    // at 1 bit loses nothing.
    EXPECT_EQ(colours(b[406]), (std::set<Colour>{rgb(0, 0, 0), rgb(255, 255, 255)}));

    // The pictures the program shows are the generator's, pixel for pixel.
    expectPicture(b[136], art::quantised(art::standardFolderSmall(), {12, true}), "Avkon 136");
    expectPicture(b[138], art::quantised(art::standardFolderLarge(), {12, true}), "Avkon 138");
    expectPicture(b[202], art::quantised(art::standardFolderTall(), {12, true}), "Avkon 202");
    expectPicture(b[445], art::quantised(art::statusPicture(), {12, true}), "Avkon 445");
    // And they look like icons: a white corner, plenty of colour, a solid body.
    for (const int i : {136, 138, 202, 445}) {
        const Bitmap& pic = b[static_cast<std::size_t>(i)];
        EXPECT_EQ(pic.getPixel(0, 0), rgb(255, 255, 255)) << i;
        EXPECT_GE(colours(pic).size(), 8u) << i;
        const Bitmap& mask = b[static_cast<std::size_t>(i) + 1];
        int opaque = 0;
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                opaque += mask.getPixel(x, y) == rgb(0, 0, 0) ? 1 : 0;
        EXPECT_GT(opaque, pic.width() * pic.height() / 3) << i;
    }
    // The status animation uncovers columns 11-38, rows 4-8: the seven bars,
    // each three columns of colour with a dark column between.
    const Bitmap& status = b[445];
    for (int k = 0; k < 7; ++k) {
        for (int y = 4; y <= 8; ++y) {
            EXPECT_NE(status.getPixel(11 + 4 * k, y), status.getPixel(14 + 4 * k, y)) << k << "," << y;
            EXPECT_NE(status.getPixel(12 + 4 * k, y), rgb(255, 255, 255));
        }
    }
}

TEST(Mkdefaults, SignalPictures)
{
    auto mbmFile = mbm::readMbm(pkg("AVKONEX"));
    ASSERT_TRUE(mbmFile.ok()) << mbmFile.error();
    ASSERT_EQ(mbmFile->size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const mbm::Mode expected = i == 0 ? mbm::Mode{4, true} : i <= 5 ? mbm::Mode{12, true} : mbm::Mode{1, false};
        EXPECT_EQ((*mbmFile)[i].mode(), expected) << i;
        EXPECT_EQ((*mbmFile)[i].header.width, 32);
        EXPECT_EQ((*mbmFile)[i].header.height, 12);
    }
    TempDir dir;
    const std::vector<Bitmap> b = unpack(kPayloads / "PKG" / "AVKONEX", 12, dir.path());
    ASSERT_EQ(b.size(), 12u);
    for (std::size_t i = 0; i < 6; ++i)
        expectCornerMask(b[i], b[i + 6], "Signal " + std::to_string(i));
    expectPicture(b[0], art::noSignalPicture(), "No Signal (drawn in the 16 colours it is stored in)");
    // More bars, more ink.
    int previous = 0;
    for (std::size_t i = 1; i <= 5; ++i) {
        int opaque = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += b[i + 6].getPixel(x, y) == rgb(0, 0, 0) ? 1 : 0;
        EXPECT_GT(opaque, previous) << i;
        previous = opaque;
        expectPicture(b[i], art::quantised(art::signalPicture(static_cast<int>(i)), {12, true}),
                      "Signal " + std::to_string(i));
    }
}

TEST(Mkdefaults, MenuFolderIcons)
{
    auto mbmFile = mbm::readMbm(pkg("MENUF"));
    ASSERT_TRUE(mbmFile.ok()) << mbmFile.error();
    ASSERT_EQ(mbmFile->size(), 24u);
    TempDir dir;
    const std::vector<Bitmap> b = unpack(kPayloads / "PKG" / "MENUF", 24, dir.path());
    ASSERT_EQ(b.size(), 24u);
    for (std::size_t i = 0; i < 24; ++i) {
        const bool small = i % 4 < 2;
        EXPECT_EQ(b[i].width(), small ? 42 : 44) << i;
        EXPECT_EQ(b[i].height(), small ? 29 : 44) << i;
        EXPECT_EQ((*mbmFile)[i].mode(), i % 2 == 0 ? (mbm::Mode{12, true}) : (mbm::Mode{1, false})) << i;
        if (i % 2 == 1)
            expectCornerMask(b[i - 1], b[i], "Menu " + std::to_string(i));
    }
    std::size_t i = 0;
    for (const art::MenuFolder f : art::MenuFolders)
        for (const bool large : {false, true}) {
            expectPicture(b[i], art::quantised(art::menuFolderIcon(f, large), {12, true}), "Menu " + std::to_string(i));
            i += 2;
        }
}

TEST(Mkdefaults, TwentyFourBitPictures)
{
    struct Case {
        const char* name;
        art::Picture picture;
    };
    const Case cases[] = {
        {"SPLT", art::splashTop()},
        {"NIMG", art::noImageBanner()},
        {"ABOUT", art::aboutPicture()},
    };
    const std::pair<int, int> sizes[] = {{176, 12}, {176, 68}, {143, 101}};
    for (std::size_t i = 0; i < 3; ++i) {
        Bitmap b;
        ASSERT_TRUE(b.loadBmp(pkg(cases[i].name)).ok()) << cases[i].name;
        EXPECT_EQ(b.depth(), 24);
        EXPECT_EQ(b.width(), sizes[i].first);
        EXPECT_EQ(b.height(), sizes[i].second);
        expectPicture(b, cases[i].picture, cases[i].name);
        EXPECT_GE(colours(b).size(), 8u) << cases[i].name;
    }
    // The banner's top 12 rows are the same band as the boot strip, so the
    // status and signal pictures sit on the same ground at boot and after.
    const art::Picture banner = art::noImageBanner();
    const art::Picture strip = art::splashTop();
    for (int x = 0; x < 176; ++x)
        EXPECT_EQ(banner.at(x, 0), strip.at(x, 0)) << x;
}

TEST(Mkdefaults, PixelFontCoversLatinAndCyrillic)
{
    const art::PixelFont& f = art::PixelFont::standard();
    for (char16_t c = 0x20; c <= 0x7E; ++c)
        EXPECT_TRUE(f.has(c)) << int(c);
    for (char16_t c = 0x410; c <= 0x44F; ++c)
        EXPECT_TRUE(f.has(c)) << int(c);
    EXPECT_FALSE(f.has(0x3042));
    EXPECT_EQ(f.glyph(0x3042).code, art::PixelFont::Replacement);
    for (const art::FontGlyph& g : f.glyphs()) {
        EXPECT_LE(g.width, 7) << int(g.code);
        for (const std::uint16_t row : g.rows)
            EXPECT_EQ(row >> g.width, 0) << int(g.code);
    }
    // Capitals stand on the baseline (row 7) and reach row 1.
    for (const char16_t c : {u'A', u'Z', u'Б', u'Я'}) {
        EXPECT_NE(f.glyph(c).rows[1], 0) << int(c);
        EXPECT_NE(f.glyph(c).rows[7], 0) << int(c);
        EXPECT_EQ(f.glyph(c).rows[8], 0) << int(c);
    }
    EXPECT_EQ(f.textWidth(u"Меню"), 4 * 5 + 3);
    EXPECT_EQ(f.textWidth(u""), 0);
}

namespace {

// One 176 x 220 desktop as the preview composes it (banner, status picture,
// separator, background with its white strips, soft-key bar and captions,
// signal picture), from slot files unpacked with bmconv. With no
// background the lower part keeps the surface's own colour.
QImage composeDesktop(const fs::path& slotDir, const Bitmap* background, int signalStep)
{
    const Colour scheme = rgb(172, 162, 191);   // "Blue Sky"
    RgbImage surface(176, 220, rgb(240, 240, 240));
    Bitmap banner;
    banner.loadBmp(pkg("NIMG"));
    banner.draw(surface, 0, 0);
    Bitmap status = readBmpOrEmpty(slotDir / "Avkon445.bmp");
    status.drawKeyed(surface, 132, 0, status.getPixel(0, 0));
    if (background) {
        for (int y = 200; y < 220; ++y)
            for (int x = 0; x < 176; ++x)
                surface.setPixel(x, y, scheme);
        art::Picture captions(176, 20, scheme);
        captions.text(2, 0, u"Нов. сбщ", rgb(0, 0, 0));
        captions.text(108, 0, u"MP3 Play", rgb(0, 0, 0));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 176; ++x)
                surface.setPixel(x, 200 + y, captions.at(x, y));
        // The bottom-strips option off: the picture moves one column left,
        // and columns 174 and 175 are white.
        Bitmap back = *background;
        back.stretchCopy({0, 0, 176, 132}, back, {1, 0, 176, 132});
        back.setWidth(175);
        back.draw(surface, 0, 69);
        for (int y = 69; y < 200; ++y) {
            surface.setPixel(174, y, rgb(255, 255, 255));
            surface.setPixel(175, y, rgb(255, 255, 255));
        }
    }
    Bitmap signal = readBmpOrEmpty(slotDir / ("Signal00" + std::to_string(signalStep) + ".bmp"));
    signal.drawKeyed(surface, 1, 0, signal.getPixel(0, 0));
    for (int x = 0; x < 176; ++x)
        surface.setPixel(x, 68, rgb(64, 63, 86));

    QImage img(176, 220, QImage::Format_RGB32);
    for (int y = 0; y < 220; ++y)
        for (int x = 0; x < 176; ++x) {
            const Colour c = surface.pixel(x, y);
            img.setPixel(x, y, qRgb(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)), static_cast<int>(blueOf(c))));
        }
    return img;
}

} // namespace

TEST(Mkdefaults, DefaultDesktopPicture)
{
    TempDir dir;
    // The slots the desktop painter reads, unpacked as at start.
    const auto avkon = unpack(kPayloads / "PKG" / "AVKON", 508, dir.path());
    ASSERT_EQ(avkon.size(), 508u);
    fs::rename(dir.path() / "b445.bmp", dir.path() / "Avkon445.bmp");
    fs::rename(dir.path() / "b368.bmp", dir.path() / "idle.bmp");
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().starts_with("b"))
            fs::remove(e.path());
    const auto signal = unpack(kPayloads / "PKG" / "AVKONEX", 12, dir.path());
    ASSERT_EQ(signal.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        char from[16];
        char to[32];
        std::snprintf(from, sizeof from, "b%03d.bmp", i);
        std::snprintf(to, sizeof to, "Signal%03d.bmp", i);
        fs::rename(dir.path() / from, dir.path() / to);
    }
    // There is no default background: at first start the lower part is
    // empty. With a background (here the idle background of the library,
    // cut to the 132 rows of an imported one) the desktop is complete.
    Bitmap background = readBmpOrEmpty(dir.path() / "idle.bmp");
    background.setHeight(132);
    const QImage first = composeDesktop(dir.path(), nullptr, 5);
    const QImage full = composeDesktop(dir.path(), &background, 5);

    QImage sheet(176 * 2 + 8, 220, QImage::Format_RGB32);
    sheet.fill(qRgb(255, 255, 255));
    for (int y = 0; y < 220; ++y)
        for (int x = 0; x < 176; ++x) {
            sheet.setPixel(x, y, first.pixel(x, y));
            sheet.setPixel(176 + 8 + x, y, full.pixel(x, y));
        }
    const QImage doubled = sheet.scaled(sheet.width() * 2, sheet.height() * 2);
    const fs::path out = fs::path(KASTRA_BUILD_DIR) / "default-desktop.png";
    ASSERT_TRUE(doubled.save(QString::fromStdString(out.string()), "PNG"));

    // The banner with the status and signal pictures on its dark band.
    EXPECT_EQ(full.pixel(0, 68), qRgb(64, 63, 86));
    EXPECT_EQ(full.pixel(175, 100), qRgb(255, 255, 255));
    EXPECT_EQ(full.pixel(50, 210), qRgb(172, 162, 191));

    // The picture in docs/ is this one.
    const QImage documented(QString::fromStdString((fs::path(KASTRA_SOURCE_DIR) / "docs" / "default-desktop.png").string()));
    ASSERT_FALSE(documented.isNull()) << "docs/default-desktop.png is missing; copy it from " << out;
    EXPECT_EQ(documented.convertToFormat(QImage::Format_RGB32), doubled)
        << "docs/default-desktop.png is out of date; copy it from " << out;
}
