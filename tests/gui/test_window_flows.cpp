// Whole user actions through the window: a picture imported shows in the
// preview, a scheme chosen, the package built and taken back in, the
// loaders, and an outside editor's save refreshing the preview.
#include "gui_support.h"

#include "picture/bitmap.h"
#include "platform/fileops.h"
#include "jpeg_encoder.h"
#include "workspace/slots.h"
#include "app/widgets.h"
#include "converter/converter.h"
#include "workspace/payloads.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kastra {
namespace {

// A 352 x 400 picture in four coloured quarters, so the banner and the
// background of the preview are told apart by colour.
QString writePicture(const QString& folder)
{
    const int w = 352, h = 400;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 3];
            const bool top = y < 136;
            p[0] = top ? 200 : 30;
            p[1] = top ? 40 : 160;
            p[2] = x < w / 2 ? 60 : 220;
        }
    }
    const Bytes jpeg = test::encodeJpeg(w, h, 3, px, 95);
    const QString path = folder + QStringLiteral("Photo.JPG");
    writeFile(path, QByteArray(reinterpret_cast<const char*>(jpeg.data()), static_cast<qsizetype>(jpeg.size())));
    return path;
}

void click(AppRun& run, const char* name)
{
    QTest::mouseClick(run.find<QAbstractButton>(name), Qt::LeftButton);
}

class Flows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(startShown(run)); }
    void importPicture()
    {
        run.dialogs.answers.push_back(writePicture(run.programFolder));
        click(run, "LoadPictureButton");
        settle(*run.form);
    }
    AppRun run;
};

TEST_F(Flows, AnImportedPictureShowsInThePreview)
{
    importPicture();
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_EQ(run.dialogs.filters.back(), QStringLiteral("Pictures (*.bmp,*.jpg,*.jpeg,*.png)|*.bmp;*.jpg;*.jpeg;*.png"));
    Bitmap top = readBmpOrEmpty(fsPath(slotPath(run.root, QStringLiteral("Top1.bmp"))));
    ASSERT_EQ(top.width(), 176);
    const QImage& shown = run.find<PaintBox>("PreviewBox")->image();
    // Rows 30-60 of the banner are not covered by the status line.
    for (int y = 30; y < 60; y += 7) {
        for (int x = 10; x < 170; x += 23)
            EXPECT_EQ(fromQRgb(shown.pixel(x, y)) & 0xFFFFFF, top.getPixel(x, y)) << x << "," << y;
    }
    // The strip thumbnail shows Temp1.bmp, the banner's top rows.
    const QImage& strip = run.find<PaintBox>("DesktopStripBox")->image();
    EXPECT_EQ(fromQRgb(strip.pixel(100, 6)) & 0xFFFFFF, top.getPixel(100, 6));
}

TEST_F(Flows, ACancelledOrRefusedImportChangesNothingButStillRepaints)
{
    run.form->previewTimer().stop();
    click(run, "LoadPictureButton");
    EXPECT_TRUE(run.form->previewTimer().isActive());
    EXPECT_FALSE(QFile::exists(slotPath(run.root, QStringLiteral("Back.bmp"))));

    writeFile(run.programFolder + QStringLiteral("broken.jpg"), "not a jpeg at all");
    run.dialogs.answers.push_back(run.programFolder + QStringLiteral("broken.jpg"));
    run.form->previewTimer().stop();
    click(run, "LoadPictureButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));
    EXPECT_TRUE(run.dialogs.messages[0].text.contains(QStringLiteral("broken.jpg")));
    EXPECT_TRUE(run.form->previewTimer().isActive());
    EXPECT_FALSE(QFile::exists(slotPath(run.root, QStringLiteral("Back.bmp"))));
}

TEST_F(Flows, ChoosingCityCopiesItsBannerOverTheOthers)
{
    importPicture();
    writeFile(slotPath(run.root, QStringLiteral("Top3.bmp")), fileBytes(slotPath(run.root, QStringLiteral("SplashTop.bmp"))));
    run.form->state().stripEdited = true;
    click(run, "CityRadio");
    EXPECT_TRUE(run.find<QRadioButton>("CityRadio")->isChecked());
    EXPECT_EQ(run.form->state().scheme, u'3');
    EXPECT_FALSE(run.form->state().stripEdited);
    const QByteArray city = fileBytes(slotPath(run.root, QStringLiteral("Top3.bmp")));
    for (const char* other : {"Top1.bmp", "Top2.bmp", "Top4.bmp"})
        EXPECT_EQ(fileBytes(slotPath(run.root, QString::fromLatin1(other))), city) << other;
}

TEST_F(Flows, TheImportButtonFollowsSisTool)
{
    auto* tabs = run.find<QTabWidget>("PageTabs");
    auto* button = run.find<QPushButton>("LoadThemeButton");
    tabs->setCurrentIndex(2);
    EXPECT_FALSE(button->isEnabled());
    tabs->setCurrentIndex(0);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KASTRA_BIN_DIR "/SISTool.exe"), run.programFolder + QStringLiteral("SISTool.exe")));
    tabs->setCurrentIndex(2);
    EXPECT_TRUE(button->isEnabled());
    tabs->setCurrentIndex(0);
    QFile::remove(run.programFolder + QStringLiteral("SISTool.exe"));
    tabs->setCurrentIndex(2);
    EXPECT_FALSE(button->isEnabled());
}

// Records the cursor the user sees each time the progress bar is painted
// while it shows a build's progress.
class CursorWhilePainted final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && static_cast<QProgressBar*>(watched)->value() > 0)
            shapes.push_back(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor);
        return false;
    }
    std::vector<Qt::CursorShape> shapes;
};

TEST_F(Flows, ABuiltThemeComesBackThroughTheImport)
{
    auto* tabs = run.find<QTabWidget>("PageTabs");
    tabs->setCurrentIndex(2);
    run.find<QLineEdit>("ThemeNameEdit")->setText(QStringLiteral("Закат"));
    run.find<QLineEdit>("ThemeFileEdit")->setText(QStringLiteral("sunset"));
    auto* bar = run.find<QProgressBar>("BuildProgress");
    CursorWhilePainted cursor;
    bar->installEventFilter(&cursor);
    int barAtBox = -1;
    bool busyAtBox = true;
    run.dialogs.whileShown = [&] {
        barAtBox = bar->value();
        busyAtBox = QGuiApplication::overrideCursor() != nullptr;
    };
    // A packaging tool that fails: the build fails late. Either way the
    // outcome is read with the bar where the build left it, and the bar
    // goes back to 0 after it; the wait cursor is up while the build runs,
    // and gone for the message.
    importPicture();
    tabs->setCurrentIndex(2);
    const QString failingTool = run.programFolder + QStringLiteral("payloads/EXTPROGS/SIS");
    QDir().mkpath(run.programFolder + QStringLiteral("payloads/EXTPROGS"));
    writeFile(failingTool, "#!/bin/sh\nexit 1\n");
    click(run, "BuildButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_GT(barAtBox, 0);
    EXPECT_FALSE(busyAtBox);
    EXPECT_EQ(bar->value(), 0);

    QFile::remove(failingTool);
    run.dialogs.messages.clear();
    click(run, "BuildButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].title, QStringLiteral("Готово"));
    EXPECT_EQ(barAtBox, 100);
    EXPECT_FALSE(busyAtBox);
    EXPECT_EQ(bar->value(), 0);
    ASSERT_FALSE(cursor.shapes.empty());
    for (const Qt::CursorShape shape : cursor.shapes)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    run.dialogs.whileShown = nullptr;
    const QString package = run.programFolder + QStringLiteral("sunset.sis");
    ASSERT_TRUE(QFile::exists(package));
    const QByteArray back = fileBytes(slotPath(run.root, QStringLiteral("Back.bmp")));
    const QByteArray top = fileBytes(slotPath(run.root, QStringLiteral("Top1.bmp")));

    // A second run, with the tool beside it, takes the theme over.
    AppRun other;
    ASSERT_TRUE(QFile::copy(QStringLiteral(KASTRA_BIN_DIR "/SISTool.exe"), other.programFolder + QStringLiteral("SISTool.exe")));
    other.start();
    other.form->show();
    other.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    other.find<QCheckBox>("StripBottomCheck")->setChecked(false);
    other.dialogs.answers.push_back(package);
    QTest::mouseClick(other.find<QPushButton>("LoadThemeButton"), Qt::LeftButton);
    EXPECT_TRUE(other.dialogs.messages.empty());
    EXPECT_EQ(fileBytes(slotPath(other.root, QStringLiteral("Top1.bmp"))), top);
    EXPECT_EQ(fileBytes(slotPath(other.root, QStringLiteral("Back.bmp"))), back);
    // The picture was imported with bottom strips: a 175-column background.
    EXPECT_TRUE(other.find<QCheckBox>("StripBottomCheck")->isChecked());
    EXPECT_FALSE(QDir(other.programFolder + QStringLiteral("TEMP")).exists());
}

// A new user's first minutes. Right after the start there is no background:
// a build and the save of backgroundimage.mbm say which picture is missing
// and what to do, and write nothing, run nothing and leave the bar alone.
// The save of EidPic.mbm writes the banners never shown from the default
// picture and succeeds; after a picture is imported the other steps do.
TEST_F(Flows, FirstMinutesBeforeAndAfterAPicture)
{
    auto* tabs = run.find<QTabWidget>("PageTabs");
    run.find<QCheckBox>("SeparateEidPicCheck")->setChecked(true);
    tabs->setCurrentIndex(2);
    run.find<QLineEdit>("ThemeNameEdit")->setText(QStringLiteral("Тема"));
    run.find<QLineEdit>("ThemeFileEdit")->setText(QStringLiteral("first"));
    std::vector<int> bar;
    QObject::connect(run.find<QProgressBar>("BuildProgress"), &QProgressBar::valueChanged,
                     [&bar](int v) { bar.push_back(v); });

    // A converter that only notes that it ran.
    const QString ran = qpath(run.dir() / "bmconv-ran");
    const QByteArray recorder = QStringLiteral("#!/bin/sh\necho ran >> '%1'\nexit 1\n").arg(ran).toUtf8();
    const QString override = run.programFolder + QStringLiteral("payloads/EXTPROGS/BMC");
    QDir().mkpath(run.programFolder + QStringLiteral("payloads/EXTPROGS"));
    for (const QString& tool : {run.root + QStringLiteral("bmconv.exe"), override}) {
        writeFile(tool, recorder);
        QFile::setPermissions(tool, QFile::permissions(tool) | QFileDevice::ExeOwner);
    }

    const QString missing = QStringLiteral(
        "Нет картинки фона рабочего стола (Back.bmp).\n"
        "Нажмите «Загрузить картинку» и выберите картинку, или загрузите backgroundimage.mbm кнопкой «BackGr» в "
        "группе «Загрузить».");
    struct Step {
        const char* button;
        int page;
        const char* delivered;
        ShownMessage refused;
        ShownMessage done;   // no message when its text is empty
    };
    const Step steps[] = {
        {"BuildButton", 2, "first.sis",
         {QStringLiteral("Ошибка"), QStringLiteral("Во время создания SIS файла произошла ошибка\n") + missing,
          MessageIcon::Error},
         {QStringLiteral("Готово"), QStringLiteral("SIS файл создан"), MessageIcon::Information}},
        {"SaveBackGrButton", 0, "backgroundimage.mbm",
         {QString::fromUtf16(WindowCaption), QStringLiteral("Не удалось сохранить файл backgroundimage.mbm.\n") + missing,
          MessageIcon::Warning},
         {}},
    };
    const QDir sis(run.root + QStringLiteral("SIS"));
    const QStringList packed = sis.entryList(QDir::Files);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        tabs->setCurrentIndex(step.page);
        run.dialogs.messages.clear();
        click(run, step.button);
        ASSERT_EQ(run.dialogs.messages.size(), 1u);
        EXPECT_EQ(run.dialogs.messages[0].title, step.refused.title);
        EXPECT_EQ(run.dialogs.messages[0].text, step.refused.text);
        EXPECT_EQ(run.dialogs.messages[0].icon, step.refused.icon);
        EXPECT_FALSE(QFile::exists(run.programFolder + QLatin1String(step.delivered)));
        EXPECT_EQ(sis.entryList(QDir::Files), packed);
        EXPECT_FALSE(QFile::exists(run.root + QStringLiteral("About.bmp")));
        EXPECT_FALSE(QFile::exists(ran));
        EXPECT_TRUE(bar.empty());
    }

    // EidPic needs no picture of the user's: the banners of the schemes
    // never shown are written from the default one.
    QFile::remove(override);
    ASSERT_TRUE(*ThemeFileOp(Workspace{run.root, run.programFolder}, ThemeFileOpCode::WriteConverter));
    tabs->setCurrentIndex(0);
    run.dialogs.messages.clear();
    click(run, "SaveEidPicButton");
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_TRUE(QFile::exists(run.programFolder + QStringLiteral("EidPic.mbm")));
    importPicture();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        tabs->setCurrentIndex(step.page);
        run.dialogs.messages.clear();
        click(run, step.button);
        ASSERT_EQ(run.dialogs.messages.size(), step.done.text.isEmpty() ? 0u : 1u);
        if (!step.done.text.isEmpty()) {
            EXPECT_EQ(run.dialogs.messages[0].text, step.done.text);
        }
        EXPECT_TRUE(QFile::exists(run.programFolder + QLatin1String(step.delivered)));
    }
    const auto banner = payloadBytes(Payload::NoImage, {});
    ASSERT_TRUE(banner);
    EXPECT_NE(fileBytes(slotPath(run.root, QStringLiteral("Top1.bmp"))), *banner);
    for (const char* slot : {"Top2.bmp", "Top3.bmp", "Top4.bmp"})
        EXPECT_EQ(fileBytes(slotPath(run.root, QString::fromLatin1(slot))), *banner) << slot;
    EXPECT_EQ(bar.back(), 0);
}

TEST_F(Flows, EmptyNamesAreRefusedBeforeAnythingIsWritten)
{
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    click(run, "BuildButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));
    EXPECT_TRUE(QDir(run.root + QStringLiteral("SIS")).isEmpty());
}

TEST_F(Flows, EveryCancelledDialogOfTheSisPageChangesNothing)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(KASTRA_BIN_DIR "/SISTool.exe"), run.programFolder + QStringLiteral("SISTool.exe")));
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    const QStringList before = QDir(run.root + QStringLiteral("SIS")).entryList(QDir::Files);
    const QByteArray back = fileBytes(slotPath(run.root, QStringLiteral("Avkon\\445.bmp")));
    for (const char* button : {"LoadFontButton", "LoadMenuAifButton", "LoadAppAifButton", "LoadThemeButton"})
        click(run, button);
    EXPECT_EQ(run.dialogs.filters.size(), 4u);
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_EQ(QDir(run.root + QStringLiteral("SIS")).entryList(QDir::Files), before);
    EXPECT_EQ(fileBytes(slotPath(run.root, QStringLiteral("Avkon\\445.bmp"))), back);
    EXPECT_TRUE(run.find<QLabel>("FontStatusLabel")->text().isEmpty());
    EXPECT_FALSE(QDir(run.programFolder + QStringLiteral("TEMP")).exists());
}

TEST_F(Flows, TheFontLoaderRefusesWhatIsNoFont)
{
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    click(run, "LoadFontButton");   // cancelled
    EXPECT_TRUE(run.find<QLabel>("FontStatusLabel")->text().isEmpty());
    writeFile(run.programFolder + QStringLiteral("fake.gdr"), "this is no font store");
    run.dialogs.answers.push_back(run.programFolder + QStringLiteral("fake.gdr"));
    click(run, "LoadFontButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_TRUE(run.find<QLabel>("FontStatusLabel")->text().isEmpty());
    EXPECT_FALSE(QFile::exists(slotPath(run.root, QStringLiteral("SIS\\kde.gdr"))));
}

TEST_F(Flows, AnOutsideSaveRefreshesThePreviewAndOwnWritesDoNotLoop)
{
    importPicture();
    // Nothing changes on its own: the program's own writes are quiet.
    QTest::qWait(600);
    settle(*run.form);
    QTest::qWait(600);
    EXPECT_FALSE(run.form->previewTimer().isActive());

    // An editor saves the background in plain blue.
    Bitmap blue(176, 132);
    for (int y = 0; y < 132; ++y)
        for (int x = 0; x < 176; ++x)
            blue.setPixel(x, y, rgb(0, 0, 255));
    writeBmpQuietly(blue, fsPath(slotPath(run.root, QStringLiteral("Back.bmp"))));
    ASSERT_TRUE(waitFor([&] {
        return (fromQRgb(run.find<PaintBox>("PreviewBox")->image().pixel(88, 120)) & 0xFFFFFF) == rgb(0, 0, 255);
    }));
}

// GIMP saves the background with its defaults (a 124-byte header, an
// indexed picture) over Back.bmp: the preview shows it pixel for pixel, as
// Qt's own reader decodes the file.
TEST_F(Flows, AGimpSaveOfTheBackgroundShowsPixelForPixel)
{
    importPicture();
    // With the side strips at the bottom the background is drawn unscaled.
    run.find<QCheckBox>("StripBottomCheck")->setChecked(true);
    const QString gimpFile = QStringLiteral(KASTRA_BMP_DATA_DIR "/gimp-back.bmp");
    const QImage saved(gimpFile);
    ASSERT_EQ(saved.size(), QSize(176, 132));
    ASSERT_TRUE(writeFile(slotPath(run.root, QStringLiteral("Back.bmp")), fileBytes(gimpFile)));
    // Column 0 and the last one carry the white strips.
    const auto differing = [&] {
        const QImage& shown = run.find<PaintBox>("PreviewBox")->image();
        int n = 0;
        for (int y = 0; y < 132; ++y)
            for (int x = 0; x < 174; ++x)
                n += (fromQRgb(shown.pixel(x + 1, y + 69)) & 0xFFFFFF) != (fromQRgb(saved.pixel(x, y)) & 0xFFFFFF);
        return n;
    };
    waitFor([&] { return differing() == 0; });
    EXPECT_EQ(differing(), 0);
}

} // namespace
} // namespace kastra
