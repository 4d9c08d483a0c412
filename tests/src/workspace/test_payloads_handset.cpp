// The handset files among the payloads: each parses with our own readers and
// carries the fields it should.
#include "handset/aif.h"
#include "handset/e32image.h"
#include "handset/gdr.h"
#include "mkdefaults/handset.h"
#include "workspace/payloads.h"
#include "mkdefaults/pixelfont.h"
#include "handset/rsc.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

Bytes payload(const char* name)
{
    TempDir empty;
    const auto id = payloadNamed(QStringLiteral("PKG"), QLatin1String(name));
    EXPECT_TRUE(id.has_value()) << name;
    const auto b = id ? payloadBytes(*id, QString::fromStdString(empty.path().string())) : std::nullopt;
    EXPECT_TRUE(b.has_value()) << name;
    return b ? Bytes(b->begin(), b->end()) : Bytes{};
}

} // namespace

TEST(HandsetFiles, CaptionFiles)
{
    struct Case {
        const char* name;
        std::u16string caption;
        std::u16string shortCaption;
        std::size_t size;   // 0: not fixed
    };
    const Case cases[] = {
        {"MENCR1", u"Menu", u"", 19},
        {"MENCR3", u"Menü", u"", 19},
        {"MENCR16", u"Меню", u"", 19},
        {"APPCR16", u"Менеджер", u"Менедж.", 42},
        {"APPCR1", u"Theme manager", u"Themes", 0},
        {"APPCR3", u"Themen-Manager", u"Themen", 0},
    };
    for (const Case& c : cases) {
        const Bytes b = payload(c.name);
        if (c.size) {
            EXPECT_EQ(b.size(), c.size) << c.name;
        }
        auto caption = rsc::readCaptionFile(b);
        ASSERT_TRUE(caption.ok()) << c.name << ": " << caption.error();
        EXPECT_EQ(caption->caption, c.caption) << c.name;
        EXPECT_EQ(caption->shortCaption, c.shortCaption) << c.name;
    }
}

TEST(HandsetFiles, ApplicationResourceFiles)
{
    struct Case {
        const char* name;
        std::u16string documentName;
        std::u16string firstItem;
        std::u16string options;
        std::u16string exit;
    };
    const Case cases[] = {
        {"MENR1", u"Menu", u"Open", u"Options", u"Exit"},
        {"MENR3", u"Menü", u"Öffnen", u"Optionen", u"Beenden"},
        {"MENR16", u"Меню", u"Открыть", u"Опции", u"Выход"},
        {"APPR1", u"Themes", u"Apply theme", u"Options", u"Exit"},
        {"APPR3", u"Themen", u"Thema anwenden", u"Optionen", u"Beenden"},
        {"APPR16", u"Темы", u"Применить тему", u"Опции", u"Выход"},
    };
    for (const Case& c : cases) {
        const Bytes b = payload(c.name);
        auto res = rsc::readResourceFile(b);
        ASSERT_TRUE(res.ok()) << c.name << ": " << res.error();
        ASSERT_EQ(res->size(), 9u) << c.name;
        // Signature: 4, and the resource's own id.
        rsc::FieldReader sig((*res)[0]);
        EXPECT_EQ(*sig.dword(), 4u);
        EXPECT_EQ(*sig.dword(), 1u);
        EXPECT_TRUE(sig.atEnd());
        EXPECT_EQ(*rsc::FieldReader((*res)[1]).bufToEnd(), c.documentName) << c.name;
        // Application information: the menu bar is resource 4, the soft keys 6.
        rsc::FieldReader info((*res)[2]);
        std::vector<std::uint32_t> links;
        while (!info.atEnd())
            links.push_back(*info.dword());
        EXPECT_EQ(links, (std::vector<std::uint32_t>{0, 4, 0, 0, 6, 0})) << c.name;
        rsc::FieldReader bar((*res)[3]);
        EXPECT_EQ(*bar.word(), 1);
        EXPECT_EQ(*bar.dword(), 5u);
        // The Options menu: four items, Exit last with the exit command.
        rsc::FieldReader pane((*res)[4]);
        ASSERT_EQ(*pane.word(), 4);
        std::u16string first;
        std::uint32_t lastCommand = 0;
        for (int i = 0; i < 4; ++i) {
            lastCommand = *pane.dword();
            EXPECT_EQ(*pane.dword(), 0u);
            EXPECT_EQ(*pane.dword(), 0u);
            auto text = pane.ltext();
            ASSERT_TRUE(text.ok()) << c.name << " item " << i << ": " << text.error();
            if (i == 0)
                first = *text;
            EXPECT_EQ(*pane.ltext(), u"");
        }
        EXPECT_TRUE(pane.atEnd());
        EXPECT_EQ(first, c.firstItem) << c.name;
        EXPECT_EQ(lastCommand, 0x100u);
        // Soft keys.
        rsc::FieldReader cba((*res)[5]);
        EXPECT_EQ(*cba.dword(), 0u);
        EXPECT_EQ(*cba.word(), 0);
        EXPECT_EQ(*cba.dword(), 0u);
        ASSERT_EQ(*cba.word(), 2);
        EXPECT_EQ(*cba.byte(), 0);
        EXPECT_EQ(*cba.word(), 0x3000);
        EXPECT_EQ(*cba.ltext(), c.options) << c.name;
        EXPECT_EQ(*cba.byte(), 0);
        EXPECT_EQ(*cba.word(), 0x100);
        EXPECT_EQ(*cba.ltext(), c.exit) << c.name;
        EXPECT_TRUE(cba.atEnd());
        for (std::size_t m = 6; m < 9; ++m) {
            auto message = rsc::FieldReader((*res)[m]).bufToEnd();
            ASSERT_TRUE(message.ok());
            EXPECT_FALSE(message->empty());
        }
    }
}

TEST(HandsetFiles, ApplicationInformationFiles)
{
    struct Case {
        const char* name;
        std::uint32_t uid;
        std::vector<aif::Caption> captions;
    };
    const Case cases[] = {
        {"MENAIF", art::KMenuAppUid, {{1, u"Menu"}, {3, u"Menü"}, {16, u"Меню"}}},
        {"APPAIF", art::KManagerAppUid, {{1, u"Theme manager"}, {3, u"Themen-Manager"}, {16, u"Менеджер"}}},
    };
    for (const Case& c : cases) {
        const Bytes b = payload(c.name);
        EXPECT_EQ(le32(b.data() + 4), 0x10003A38u);
        auto info = aif::readAif(b);
        ASSERT_TRUE(info.ok()) << c.name << ": " << info.error();
        EXPECT_EQ(info->appUid, c.uid);
        EXPECT_EQ(info->captions, c.captions);
        EXPECT_EQ(info->capabilities, aif::Capabilities{});
        ASSERT_EQ(info->icons.size(), 2u);
        const std::pair<int, int> sizes[] = {{42, 29}, {44, 44}};
        for (std::size_t i = 0; i < 2; ++i) {
            const auto& icon = info->icons[i];
            EXPECT_EQ(icon.picture.header.width, sizes[i].first);
            EXPECT_EQ(icon.picture.header.height, sizes[i].second);
            EXPECT_EQ(icon.picture.header.bpp, 12);
            EXPECT_EQ(icon.picture.header.colour, 1);
            EXPECT_EQ(icon.mask.header.bpp, 1);
            // The mask is white exactly where the picture has its corner colour.
            const mbm::Rgb key = icon.picture.pixel(0, 0);
            int transparent = 0;
            for (int y = 0; y < sizes[i].second; ++y)
                for (int x = 0; x < sizes[i].first; ++x) {
                    const bool clear = icon.picture.pixel(x, y) == key;
                    transparent += clear ? 1 : 0;
                    EXPECT_EQ(icon.mask.pixel(x, y).r == 255, clear) << c.name << " " << x << "," << y;
                }
            EXPECT_GT(transparent, 0);
            EXPECT_LT(transparent, sizes[i].first * sizes[i].second / 2);
        }
    }
}

TEST(HandsetFiles, FontStoreHoldsThePixelFont)
{
    const Bytes b = payload("FONT");
    EXPECT_EQ(le32(b.data() + 4), 0x10000039u);
    auto store = gdr::readFontStore(b);
    ASSERT_TRUE(store.ok()) << store.error();
    EXPECT_EQ(store->version, 39);
    ASSERT_EQ(store->fontBitmaps.size(), 1u);
    ASSERT_EQ(store->typefaces.size(), 1u);
    EXPECT_EQ(store->typefaces[0].sizes[0].fontBitmapUid, store->fontBitmaps[0].uid);
    const gdr::FontBitmap& font = store->fontBitmaps[0];
    EXPECT_EQ(font.cellHeight, 10);
    EXPECT_EQ(font.ascent, 8);
    std::vector<char16_t> required;
    for (char16_t c = 0x20; c <= 0x7E; ++c)
        required.push_back(c);
    for (char16_t c = 0x410; c <= 0x44F; ++c)
        required.push_back(c);
    for (const char16_t c : {u'Ё', u'ё', u'ä', u'ö', u'ü', u'Ä', u'Ö', u'Ü', u'ß', char16_t(0xF6DB)})
        required.push_back(c);
    for (const char16_t c : required)
        EXPECT_NE(gdr::findGlyph(font, c), nullptr) << int(c);
    // Every glyph is the pixel font's, pixel for pixel, on the same baseline.
    const art::PixelFont& pf = art::PixelFont::standard();
    EXPECT_EQ(font.glyphs.size(), pf.glyphs().size());
    for (const art::FontGlyph& fg : pf.glyphs()) {
        const gdr::Glyph* g = gdr::findGlyph(font, fg.code);
        ASSERT_NE(g, nullptr) << int(fg.code);
        EXPECT_EQ(g->move, fg.width + 1);
        const int top = art::PixelFont::Ascent - g->ascent;
        for (int row = 0; row < art::PixelFont::Height; ++row)
            for (int x = 0; x < fg.width; ++x) {
                const bool ink = (fg.rows[row] >> x) & 1u;
                const bool inGlyph = row >= top && row < top + g->height && x < g->width();
                const bool stored = inGlyph && g->pixels[static_cast<std::size_t>((row - top) * g->width() + x)] != 0;
                EXPECT_EQ(stored, ink) << int(fg.code) << " row " << row << " column " << x;
            }
    }
}

TEST(HandsetFiles, ExecutablesAreWellFormedImages)
{
    for (const char* name : {"DEL_F", "DEL_L", "RES", "RES_AV"}) {
        auto img = e32::readImage(payload(name));
        ASSERT_TRUE(img.ok()) << name << ": " << img.error();
        EXPECT_EQ(img->header.uids, (e32::Uids{e32::KExecutableImageUid, 0, 0})) << name;
        EXPECT_FALSE(img->isDll());
        EXPECT_EQ(img->header.cpu, e32::KCpuArm);
        EXPECT_EQ(img->header.priority, 350);
        EXPECT_TRUE(img->imports.empty());
        EXPECT_GE(img->header.heapSizeMax, img->header.heapSizeMin);
    }
    struct App {
        const char* name;
        std::uint32_t uid;
    };
    for (const App a : {App{"MENAPP", art::KMenuAppUid}, App{"APPAPP", art::KManagerAppUid}}) {
        auto img = e32::readImage(payload(a.name));
        ASSERT_TRUE(img.ok()) << a.name << ": " << img.error();
        EXPECT_EQ(img->header.uids, (e32::Uids{e32::KDynamicLibraryUid, e32::KUidApp, a.uid})) << a.name;
        EXPECT_TRUE(img->isDll());
        ASSERT_EQ(img->exports.size(), 1u);
        EXPECT_LT(img->exports[0], img->header.textSize);
    }
}
