// kastra-theme preview: the PNG files hold exactly what the window's
// painters draw from the same theme, and --as-handset shows the pictures at
// the depth the handset gets them.
#include "package/build.h"
#include "converter/converter.h"
#include "preview/desktop_painter.h"
#include "preview/menu_painter.h"
#include "package_fixture.h"
#include "workspace/payloads.h"
#include "preview/surface.h"
#include "tool_runner.h"
#include "converter/setup.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

const char* const kThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"};

// The five packed files of a workspace, after a build, in a folder.
fs::path themeFolder(ThemeWorkspace& t)
{
    BuildInputs in;
    in.themeName = QStringLiteral("Preview");
    in.fileName = QStringLiteral("Preview");
    EXPECT_TRUE(BuildPackage(t.ws, in).outcome.ok);
    const fs::path dir = t.base() / "theme";
    fs::create_directories(dir);
    for (const char* f : kThemeFiles)
        fs::copy_file(t.sis() / f, dir / f, fs::copy_options::overwrite_existing);
    return dir;
}

// What the window paints for the theme files of dir.
QImage windowDesktop(const fs::path& dir, QChar scheme)
{
    ThemeWorkspace w;
    for (const char* f : kThemeFiles)
        fs::copy_file(dir / f, w.root() / f, fs::copy_options::overwrite_existing);
    AppState state;
    state.scheme = scheme;
    const bool narrow = *PrepareWorkspace(w.ws, false, true);
    Surface s(PreviewWidth, PreviewHeight, rgb(212, 208, 200));
    PaintDesktop(state, w.ws, narrow, s);
    return s.image();
}

} // namespace

TEST(PackagePreview, DesktopAndMenuAreTheWindowsPictures)
{
    ThemeWorkspace t;
    t.importPicture(3);
    const fs::path dir = themeFolder(t);
    for (const char scheme : {'1', '3'}) {
        const ToolRun r = runTool("kastra-theme", t.base(),
                                  std::string("preview theme --out d.png --menu m.png --scheme ") + scheme);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const QImage png(q(t.base() / "d.png"));
        ASSERT_EQ(png.size(), QSize(PreviewWidth, PreviewHeight));
        const QImage want = windowDesktop(dir, QChar::fromLatin1(scheme));
        EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == want) << scheme;

        // The menu's first row is the small folder icons as the icons page
        // paints them.
        Surface small(252, 29, rgb(212, 208, 200)), large(264, 44, rgb(212, 208, 200)),
            a136(42, 29, IconsPageBackground), a138(44, 44, IconsPageBackground), a202(30, 40, IconsPageBackground);
        PaintMenu(t.ws, MenuSurfaces{small, large, a136, a138, a202});
        const QImage menu = QImage(q(t.base() / "m.png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_GE(menu.height(), 29 + 44);
        EXPECT_TRUE(menu.copy(0, 0, 252, 29) == small.image());
        EXPECT_TRUE(menu.copy(0, 33, 264, 44) == large.image());
    }

    // A package gives the same desktop as its theme files.
    ASSERT_EQ(runTool("kastra-theme", t.base(), "preview '" + (t.programFolder() / "Preview.sis").string()
                                                    + "' --out p.png").exitCode,
              0);
    EXPECT_TRUE(QImage(q(t.base() / "p.png")).convertToFormat(QImage::Format_RGB32) == windowDesktop(dir, u'1'));
}

TEST(PackagePreview, AsHandsetShowsTheStatusPictureInTwelveBitColour)
{
    // A theme whose status picture (Avkon\445) was stored at 24 bits: the
    // plain preview shows its colours as they are, the handset preview at
    // 12 bits, every channel a multiple of 17.
    ThemeWorkspace t;
    const fs::path dir = themeFolder(t);
    EXPECT_TRUE(patternPicture(44, 12, 5).writeBmp(t.root() / "Avkon" / "445.bmp"));
    auto list = payloadBytes(Payload::AvkonPackList, {});
    ASSERT_TRUE(list);
    list->replace("/c12Avkon\\445.bmp", "/c24Avkon\\445.bmp");
    writeBytes(t.root() / "com.txt", Bytes(list->begin(), list->end()));
    ASSERT_TRUE(RunConverter(t.ws));
    fs::copy_file(t.sis() / "Avkon.mbm", dir / "Avkon.mbm", fs::copy_options::overwrite_existing);

    const auto statusChannels = [&](const char* extra) {
        const ToolRun r = runTool("kastra-theme", t.base(), std::string("preview theme --out s.png ") + extra);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        const QImage png = QImage(q(t.base() / "s.png")).convertToFormat(QImage::Format_RGB32);
        int off12 = 0;
        for (int y = 1; y < 12; ++y)
            for (int x = 133; x < 176; ++x) {
                const QRgb c = png.pixel(x, y);
                off12 += (qRed(c) % 17 != 0) + (qGreen(c) % 17 != 0) + (qBlue(c) % 17 != 0);
            }
        return off12;
    };
    EXPECT_GT(statusChannels(""), 100);
    EXPECT_EQ(statusChannels("--as-handset"), 0);
}

TEST(PackagePreview, SnapshotIsDesktopAndMenuSideBySideScaledByWholePixels)
{
    ThemeWorkspace t;
    t.importPicture(4);
    themeFolder(t);
    ASSERT_EQ(runTool("kastra-theme", t.base(), "preview theme --as-handset --out d.png --menu m.png --snapshot s1.png")
                  .exitCode,
              0);
    const ToolRun scaled = runTool("kastra-theme", t.base(), "preview theme --as-handset --snapshot s3.png --scale 3");
    ASSERT_EQ(scaled.exitCode, 0) << scaled.output;
    const auto load = [&](const char* name) { return QImage(q(t.base() / name)).convertToFormat(QImage::Format_RGB32); };
    const QImage one = load("s1.png"), three = load("s3.png"), desktop = load("d.png"), menu = load("m.png");
    EXPECT_TRUE(one.copy(0, 0, desktop.width(), desktop.height()) == desktop);
    EXPECT_TRUE(one.copy(one.width() - menu.width(), 0, menu.width(), menu.height()) == menu);
    ASSERT_EQ(three.size(), one.size() * 3);
    for (int y = 0; y < three.height(); ++y)
        for (int x = 0; x < three.width(); ++x)
            ASSERT_EQ(three.pixel(x, y), one.pixel(x / 3, y / 3)) << x << ' ' << y;

    for (const char* wrong : {"--scale 5", "--scale 0", "--screen-colours 256"})
        EXPECT_EQ(runTool("kastra-theme", t.base(), std::string("preview theme --snapshot x.png ") + wrong).exitCode, 2)
            << wrong;
}

TEST(PackagePreview, PicturesReplaceALinkUnderTheirNameAndNeverItsTarget)
{
    ThemeWorkspace t;
    themeFolder(t);
    const Bytes victim = {'k', 'e', 'e', 'p'};
    writeBytes(t.base() / "victim", victim);
    for (const char* option : {"--out", "--menu", "--snapshot"}) {
        const fs::path toVictim = t.base() / (std::string(option + 2) + ".png");
        const fs::path dangling = t.base() / (std::string(option + 2) + "-dangling.png");
        fs::create_symlink(t.base() / "victim", toVictim);
        fs::create_symlink(t.base() / "nowhere" / "made.png", dangling);
        for (const fs::path& link : {toVictim, dangling}) {
            const std::string extra = std::string(option) == "--out" ? "" : " --out d.png";
            const ToolRun r = runTool("kastra-theme", t.base(),
                                      "preview theme " + std::string(option) + " '" + link.string() + "'" + extra);
            EXPECT_EQ(r.exitCode, 0) << option << r.output;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link))) << link;
            EXPECT_FALSE(QImage(q(link)).isNull()) << link;
        }
        EXPECT_EQ(readBytes(t.base() / "victim"), victim) << option;
        EXPECT_FALSE(fs::exists(t.base() / "nowhere")) << option;
    }
}
