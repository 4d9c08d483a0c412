// kastra-theme new writes what the window's five save buttons write after
// the same steps, and kastra-theme diff lists exactly the bitmaps that
// differ between two themes, folders or packages.
#include "converter/setup.h"
#include "converter/theme_files.h"
#include "edit/picture_import.h"
#include "edit/schemes.h"
#include "jpeg_encoder.h"
#include "mbm/mbm.h"
#include "package/build.h"
#include "package_fixture.h"
#include "photo_fixture.h"
#include "preview/desktop_painter.h"
#include "preview/menu_painter.h"
#include "preview/surface.h"
#include "preview/thumbnails_painter.h"
#include "tool_runner.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

const char* const kThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"};

// The window's repaints: the desktop preview, the pictures page's
// thumbnails and (menu) the icons page.
void repaint(AppState& state, const Workspace& ws, bool stripBottom, bool menu)
{
    const Colour face = rgb(212, 208, 200);
    Surface preview(PreviewWidth, PreviewHeight, face), a(176, 12, face), b(176, 12, face), c(32, 12, face),
        d(192, 12, face), e(44, 12, face);
    PaintDesktop(state, ws, stripBottom, preview);
    PaintThumbnails(state, ws, ThumbnailSurfaces{a, b, c, d, e}, preview);
    if (menu) {
        Surface f(252, 29, face), g(264, 44, face), h(42, 29, face), i(44, 44, face), j(30, 40, face);
        PaintMenu(ws, MenuSurfaces{f, g, h, i, j});
    }
}

// What the window's save buttons leave in its program folder after its
// start, the import of picture and the choice of scheme.
void windowSaves(const fs::path& base, const fs::path& picture, const ImportOptions& options, QChar scheme)
{
    Workspace ws{q(base / "Temp" / "WorkDir") + u'/', q(base / "program") + u'/'};
    fs::create_directories(base / "program");
    AppState state;
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    repaint(state, ws, options.bottom, true);
    ASSERT_TRUE(ImportPicture(state, ws, q(picture), options).ok);
    repaint(state, ws, options.bottom, false);
    SelectScheme(state, ws, scheme, options.separate);
    repaint(state, ws, options.bottom, false);
    for (int f = 0; f < 5; ++f)
        ASSERT_TRUE(SaveThemeFile(ws, static_cast<ThemeFile>(f)).ok) << f;
}

// Rewrites one theme file of dir with change applied to its bitmaps.
template <typename Change>
void changeThemeFile(const fs::path& file, Change change)
{
    auto bitmaps = mbm::readMbm(readBytes(file));
    ASSERT_TRUE(bitmaps);
    change(*bitmaps);
    const auto bytes = mbm::writeMbm(*bitmaps, mbm::Store::Compressed);
    ASSERT_TRUE(bytes);
    writeBytes(file, *bytes);
}

} // namespace

TEST(ThemeNew, WritesWhatTheWindowsSaveButtonsWrite)
{
    struct Case {
        const char* picture;
        const char* options;
        ImportOptions window;
        QChar scheme;
    };
    const Case cases[] = {
        {"photo.bmp", "", ImportOptions{}, u'1'},
        {"photo.jpg", " --scheme 3 --separate-banners --top-strip --no-bottom-strip",
         ImportOptions{.top = true, .bottom = false, .separate = true}, u'3'},
    };
    TempDir dir;
    EXPECT_TRUE(patternPicture(200, 230, 4).writeBmp(dir.path() / "photo.bmp"));
    std::vector<std::uint8_t> rgbPixels;
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 190; ++x)
            rgbPixels.insert(rgbPixels.end(), {std::uint8_t(x), std::uint8_t(y * 3), std::uint8_t(x ^ y)});
    writeBytes(dir.path() / "photo.jpg", encodeJpeg(190, 260, 3, rgbPixels, 90));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        const fs::path window = dir.path() / (std::string("window-") + c.picture);
        windowSaves(window, dir.path() / c.picture, c.window, c.scheme);
        const ToolRun r = runTool("kastra-theme", dir.path(),
                                  std::string("new 'out-") + c.picture + "' --picture " + c.picture + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        for (const char* f : kThemeFiles)
            EXPECT_TRUE(readBytes(dir.path() / (std::string("out-") + c.picture) / f)
                        == readBytes(window / "program" / f))
                << f;
    }
}

TEST(ThemeNew, TakesAPngAndTurnsAPhotoUpright)
{
    // A PNG gives the theme its BMP twin gives; a phone photo stored
    // sideways with orientation 6 gives the theme of the upright photo, and
    // without its orientation it does not.
    TempDir dir;
    ASSERT_TRUE(photoPicture().writeBmp(dir.path() / "photo.bmp"));
    for (const char* name : {"rgb8.png", "upright.jpg", "o6.jpg", "sideways.jpg"})
        fs::copy_file(photosDir() / name, dir.path() / name);
    auto theme = [&](const std::string& picture) {
        const ToolRun r = runTool("kastra-theme", dir.path(), "new 'out-" + picture + "' --picture " + picture);
        EXPECT_EQ(r.exitCode, 0) << picture << '\n' << r.output;
        std::vector<Bytes> files;
        for (const char* f : kThemeFiles)
            files.push_back(readBytes(dir.path() / ("out-" + picture) / f));
        return files;
    };
    EXPECT_TRUE(theme("rgb8.png") == theme("photo.bmp"));
    const auto upright = theme("upright.jpg");
    EXPECT_TRUE(theme("o6.jpg") == upright);
    EXPECT_FALSE(theme("sideways.jpg")[0] == upright[0]);
}

TEST(ThemeDiff, ListsTheBitmapsThatDiffer)
{
    // A built theme as a package and as a folder, and a copy of the folder
    // with three bitmaps changed: pixels in two, the depth of one (to the
    // other depth the catalogue allows there).
    ThemeWorkspace t;
    BuildInputs in;
    in.themeName = QStringLiteral("Diff");
    in.fileName = QStringLiteral("Diff");
    ASSERT_TRUE(BuildPackage(t.ws, in).outcome.ok);
    fs::create_directories(t.base() / "a");
    for (const char* f : kThemeFiles)
        fs::copy_file(t.sis() / f, t.base() / "a" / f);
    fs::copy(t.base() / "a", t.base() / "b");
    changeThemeFile(t.base() / "b" / "EidPic.mbm", [](std::vector<mbm::MbmBitmap>& b) {
        for (int i = 0; i < 5; ++i)
            b[1].data[static_cast<std::size_t>(i) * 3] ^= 0xFF;   // five pixels of Top1
    });
    changeThemeFile(t.base() / "b" / "Avkon.mbm", [](std::vector<mbm::MbmBitmap>& b) {
        std::vector<mbm::Rgb> pixels;
        for (int y = 0; y < b[186].header.height; ++y)
            for (int x = 0; x < b[186].header.width; ++x)
                pixels.push_back(b[186].pixel(x, y));
        const mbm::Mode other{b[186].header.bpp == 8 ? 12 : 8, true};
        b[186] = *mbm::makeBitmap(other, b[186].header.width, b[186].header.height, pixels, 0, 0);
    });
    changeThemeFile(t.base() / "b" / "menu_folders.mbm",
                    [](std::vector<mbm::MbmBitmap>& b) { b[3].data[0] ^= 0xFF; });
    fs::create_directories(t.base() / "c");
    fs::copy_file(t.base() / "a" / "EidPic.mbm", t.base() / "c" / "EidPic.mbm");
    writeBytes(t.base() / "not.sis", Bytes(100, 7));

    struct Case {
        std::string args;
        int exitCode;
        // Exit 0 and 1: the lines printed, one per differing bitmap; exit 2:
        // what the message says.
        std::vector<std::string> lines;
    };
    fs::copy_file(t.programFolder() / "Diff.sis", t.base() / "theme.sis");
    const std::string package = "theme.sis";
    const Case cases[] = {
        {"diff a " + package, 0, {}},
        {"diff a b --sheet sheet.png", 1,
         {"EidPic.mbm 1: 5 pixels differ", "Avkon.mbm 186: depth", "menu_folders.mbm 3: "}},
        {"diff " + package + " c", 2, {"has no backgroundimage.mbm"}},
        {"diff a not.sis", 2, {"not.sis is not a sound installation package"}},
        {"diff a missing", 2, {"missing does not exist"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = runTool("kastra-theme", t.base(), c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        std::size_t count = 0;
        for (std::size_t at = 0; (at = r.output.find(".mbm ", at)) != std::string::npos; ++at)
            ++count;
        if (c.exitCode != 2) {
            EXPECT_EQ(count, c.lines.size()) << r.output;
        }
        for (const std::string& line : c.lines)
            EXPECT_NE(r.output.find(line), std::string::npos) << line << '\n' << r.output;
    }
    const QImage sheet(q(t.base() / "sheet.png"));
    EXPECT_GT(sheet.width(), 2 * 176);
}
