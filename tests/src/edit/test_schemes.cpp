// Colour schemes: the banner copies and the strip applied back.
#include "preview_fixture.h"
#include "edit/schemes.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

std::array<Bytes, 4> banners(const PreviewWorkspace& w)
{
    std::array<Bytes, 4> b;
    for (int i = 0; i < 4; ++i)
        b[static_cast<std::size_t>(i)] = readBytes(w.file(topSlot(QChar(u'1' + i))));
    return b;
}

TEST(SchemeSelection, CopyOrders)
{
    auto order = [](QChar n) {
        QString s;
        for (QChar c : SchemeCopyOrder(n))
            s += c;
        return s;
    };
    EXPECT_EQ(order(u'1'), QStringLiteral("234"));
    EXPECT_EQ(order(u'2'), QStringLiteral("134"));
    EXPECT_EQ(order(u'3'), QStringLiteral("214"));
    EXPECT_EQ(order(u'4'), QStringLiteral("231"));
    EXPECT_TRUE(SchemeCopyOrder(u'5')[0].isNull());
}

TEST(SchemeSelection, EveryBannerBecomesTheChosenOne)
{
    for (QChar n : {u'1', u'2', u'3', u'4'}) {
        PreviewWorkspace w;
        w.fill();
        const auto before = banners(w);
        const Bytes chosen = before[static_cast<std::size_t>(n.unicode() - u'1')];
        w.state.stripEdited = true;
        const QStringList written = w.writtenBy([&] { (void)SelectScheme(w.state, w.ws, n, false); });
        EXPECT_EQ(w.state.scheme, n);
        EXPECT_FALSE(w.state.stripEdited);
        for (const Bytes& b : banners(w))
            EXPECT_EQ(b, chosen) << "scheme " << n.toLatin1();
        QStringList expected;
        for (QChar t : SchemeCopyOrder(n))
            expected << w.full(topSlot(t));
        EXPECT_EQ(written, expected);
    }
}

TEST(SchemeSelection, SeparateBannersCopyNothing)
{
    PreviewWorkspace w;
    w.fill();
    const auto before = banners(w);
    EXPECT_TRUE(w.writtenBy([&] { (void)SelectScheme(w.state, w.ws, u'3', true); }).isEmpty());
    EXPECT_EQ(w.state.scheme, u'3');
    EXPECT_EQ(banners(w), before);
}

TEST(SchemeSelection, ChoosingTheCurrentSchemeAgainStillClearsAndCopies)
{
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'2';
    w.state.stripEdited = true;
    const Bytes two = readBytes(w.file(topSlot(u'2')));
    EXPECT_EQ(w.writtenBy([&] { (void)SelectScheme(w.state, w.ws, u'2', false); }).size(), 3);
    EXPECT_FALSE(w.state.stripEdited);
    EXPECT_EQ(readBytes(w.file(topSlot(u'4'))), two);
}

TEST(SchemeSelection, MissingBannerCopiesNothing)
{
    PreviewWorkspace w;
    w.fill();
    w.remove(topSlot(u'4'));
    const auto before = banners(w);
    EXPECT_TRUE(w.writtenBy([&] { (void)SelectScheme(w.state, w.ws, u'4', false); }).isEmpty());
    EXPECT_EQ(banners(w), before);
    EXPECT_EQ(w.state.scheme, u'4');
}

TEST(SchemeSelection, NoSchemeCharacterChangesNothing)
{
    PreviewWorkspace w;
    w.fill();
    w.state.stripEdited = true;
    const auto before = banners(w);
    EXPECT_TRUE(w.writtenBy([&] { (void)SelectScheme(w.state, w.ws, u'0', false); }).isEmpty());
    EXPECT_EQ(w.state.scheme, u'1');
    EXPECT_TRUE(w.state.stripEdited);
    EXPECT_EQ(banners(w), before);
}

// Strip application, for strips of the handset's size and of others.
struct StripCase {
    int width;
    int height;
};

class StripApplication : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripApplication, WholeStripFillsTheTopRows)
{
    const StripCase c = GetParam();
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'3';
    const Bitmap banner = w.read(topSlot(u'3'));
    const Bitmap strip = drawn(c.width, c.height, [](int x, int y) { return rgb(x & 255, 255 - y, (x * 3) & 255); });
    w.write(tempSlot(u'3'), strip);
    const Bytes other = readBytes(w.file(topSlot(u'1')));

    EXPECT_EQ(w.writtenBy([&] { (void)ApplyStrip(w.state, w.ws); }), QStringList{w.full(topSlot(u'3'))});
    const Bytes expected = bmp24(176, 68, [&](int x, int y) {
        if (y >= 12)
            return banner.getPixel(x, y);
        return strip.getPixel(x * c.width / 176, y * c.height / 12);
    });
    EXPECT_EQ(readBytes(w.file(topSlot(u'3'))), expected);
    EXPECT_EQ(readBytes(w.file(topSlot(u'1'))), other);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StripApplication,
                         ::testing::Values(StripCase{176, 12}, StripCase{88, 6}, StripCase{352, 24},
                                           StripCase{200, 10}, StripCase{1, 1}));

TEST(StripApplicationFiles, SameSizeStripChangesExactlyTheTopRows)
{
    PreviewWorkspace w;
    w.fill();
    const Bitmap banner = w.read(topSlot(u'1'));
    const Bitmap strip = drawn(176, 12, [](int x, int y) { return rgb(1, x, y); });
    w.write(tempSlot(u'1'), strip);
    ApplyStrip(w.state, w.ws);
    const Bitmap after = w.read(topSlot(u'1'));
    for (int y = 0; y < 68; ++y)
        for (int x = 0; x < 176; ++x)
            ASSERT_EQ(after.getPixel(x, y), y < 12 ? strip.getPixel(x, y) : banner.getPixel(x, y)) << x << "," << y;
}

TEST(StripApplicationFiles, MissingFilesLeaveTheBannerAlone)
{
    PreviewWorkspace w;
    w.fill();
    const Bytes banner = readBytes(w.file(topSlot(u'1')));
    EXPECT_TRUE(w.writtenBy([&] { (void)ApplyStrip(w.state, w.ws); }).isEmpty());   // no strip
    EXPECT_EQ(readBytes(w.file(topSlot(u'1'))), banner);
    writeBytes(w.file(tempSlot(u'1')), {'B', 'M', 1});  // a damaged strip
    EXPECT_TRUE(w.writtenBy([&] { (void)ApplyStrip(w.state, w.ws); }).isEmpty());
    EXPECT_EQ(readBytes(w.file(topSlot(u'1'))), banner);

    w.remove(topSlot(u'1'));
    w.write(tempSlot(u'1'), drawn(176, 12, [](int, int) { return 0u; }));
    EXPECT_TRUE(w.writtenBy([&] { (void)ApplyStrip(w.state, w.ws); }).isEmpty());
    EXPECT_FALSE(w.exists(topSlot(u'1')));
}

} // namespace
