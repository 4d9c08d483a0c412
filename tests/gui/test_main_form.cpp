// The window as built: on every page and settings screen the controls the
// layout shows are seen whole; every row's font, colours and behaviour; the
// icon views on their faces; the repaint-request rule; the page events; the
// help page; the file name filter.
#include "gui_support.h"
#include "window_checks.h"

#include "app/help_texts.h"
#include "app/sis_page.h"
#include "app/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QTimer>
#include <QKeyEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

namespace kastra {
namespace {

// Typing as a keyboard does, any letter: QTest's own key clicks know ASCII
// only.
void typeText(QWidget* w, const QStringList& keys)
{
    for (const QString& c : keys) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, c);
        QApplication::sendEvent(w, &release);
    }
}
void typeText(QWidget* w, const QString& text)
{
    QStringList keys;
    for (const QChar c : text)
        keys << QString(c);
    typeText(w, keys);
}

class Window : public ::testing::Test {
protected:
    void SetUp() override { run.start(); }
    AppRun run;
};

TEST_F(Window, EveryPageAndScreenShowsItsControlsWhole)
{
    MainForm& form = *run.form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Halvorn Kastra Theme Creator v1.11"));
    EXPECT_EQ(form.size(), QSize(529, 271));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::expectEveryPageAsLaidOut(form);
}

// The role each kind of control draws its text with.
QPalette::ColorRole textRole(Kind kind)
{
    switch (kind) {
    case Kind::Edit:
    case Kind::Memo: return QPalette::Text;
    case Kind::Button: return QPalette::ButtonText;
    default: return QPalette::WindowText;
    }
}

TEST_F(Window, EveryRowHasItsFontColoursAndBehaviour)
{
    run.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(run.form.get()));
    for (const test::PageTable& page : test::pageTables()) {
        for (const ControlSpec& row : page.rows) {
            SCOPED_TRACE(row.name);
            auto* w = run.find<QWidget>(row.name);
            ASSERT_NE(w, nullptr);
            // The face the font resolves to is the one asked for (through
            // its substitute), never a fallback; without a face of its own
            // a control has its parent's.
            const QString family = row.fontFamily ? QFont::substitute(QString::fromLatin1(row.fontFamily))
                                                  : QFontInfo(w->parentWidget()->font()).family();
            EXPECT_EQ(QFontInfo(w->font()).family().toLower().toStdString(), family.toLower().toStdString());
            if (row.fontHeight > 0) {
                const int cell = QFontMetrics(w->font()).height();
                EXPECT_LE(cell, row.fontHeight);
                EXPECT_GE(cell, row.fontHeight * 3 / 4);
            }
            EXPECT_EQ(QFontInfo(w->font()).bold(), (row.flags & Bold) != 0);
            EXPECT_EQ(w->font().underline(), (row.flags & Underline) != 0);
            if (row.textColour) {
                const QColor colour = QColor::fromRgb(row.textColour & 0xFFFFFF);
                EXPECT_EQ(w->palette().color(textRole(row.kind)), colour);
            }
            if (row.flags & ButtonFace) {
                // Seen: the face inside the frame, not the page behind.
                const QColor face = w->palette().color(QPalette::Button);
                EXPECT_NE(face, w->parentWidget()->palette().color(QPalette::Window));
                EXPECT_EQ(w->grab().toImage().pixelColor(w->width() - 4, w->height() - 4), face);
            }
            EXPECT_EQ(w->cursor().shape() == Qt::PointingHandCursor, (row.flags & HandCursor) != 0);
            if (row.flags & NoTabStop) {
                EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
            }
            if (row.flags & Disabled) {
                EXPECT_FALSE(w->isEnabled());
            }
        }
    }
}

// The eleven preview views are the paint boxes the tables name, each named
// once, shown with the hand cursor; no other control is one.
TEST_F(Window, EveryPreviewViewIsThePaintBoxItsRowNames)
{
    std::vector<std::span<const ControlSpec>> tables{MainForm::rows()};
    for (const test::PageTable& page : test::pageTables())
        tables.push_back(page.rows);
    std::set<PreviewView> named;
    for (const std::span<const ControlSpec> rows : tables) {
        for (const ControlSpec& row : rows) {
            SCOPED_TRACE(row.name);
            if (!row.view) {
                EXPECT_NE(row.kind, Kind::PaintBox);
                continue;
            }
            EXPECT_TRUE(named.insert(*row.view).second);
            EXPECT_EQ(run.form->view(*row.view), run.find<PaintBox>(row.name));
            EXPECT_EQ(run.find<QWidget>(row.name)->cursor().shape(), Qt::PointingHandCursor);
        }
    }
    EXPECT_EQ(named.size(), 11u);
}

TEST_F(Window, IconViewsShowTheFaceTheySitOn)
{
    MainForm& form = *run.form;
    form.show();
    form.pageTabs()->setCurrentIndex(1);
    ASSERT_TRUE(waitFor([&] { return !form.menuPreviewTimer().isActive(); }));
    // An icon's corner pixel is its transparent colour.
    for (const char* name : {"SmallFoldersBox", "LargeFoldersBox", "Avkon136Box", "Avkon138Box", "Avkon202Box"}) {
        auto* box = run.find<PaintBox>(name);
        EXPECT_EQ(QColor(box->image().pixel(0, 0)), box->parentWidget()->palette().color(QPalette::Window)) << name;
    }
    EXPECT_NE(QColor(run.find<PaintBox>("SmallFoldersBox")->image().pixel(0, 0)), QColor(166, 202, 240));
}

TEST_F(Window, TabsPagesAndInitialStates)
{
    auto* tabs = run.find<QTabWidget>("PageTabs");
    ASSERT_EQ(tabs->count(), 5);
    const char16_t* titles[] = {u"Картинки", u"Иконки", u"SIS", u"Настройки", u"Help"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs->tabText(i), QString::fromUtf16(titles[i]));
        EXPECT_LE(QFontMetrics(tabs->tabBar()->font()).horizontalAdvance(tabs->tabText(i)),
                  tabs->tabBar()->tabRect(i).width());
    }
    EXPECT_EQ(QFontInfo(tabs->tabBar()->font()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(tabs->focusPolicy(), Qt::NoFocus);
    // Every page's content fits below the tabs.
    EXPECT_GE(tabs->widget(4)->height(), 220);
    EXPECT_GE(tabs->widget(1)->width(), 305);

    for (const char* r : {"BlueSkyRadio", "BeachRadio", "CityRadio", "MagentaRadio"})
        EXPECT_FALSE(run.find<QRadioButton>(r)->isChecked()) << r;
    EXPECT_EQ(run.find<QWidget>("PreviewBox")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(run.find<QPlainTextEdit>("GreetingMemo")->toPlainText(),
              QStringLiteral("Theme created with:\nProgram: Kastra Theme Creator\nTheme creator: -\n"
                             "--------------------------------\n!!! After installing restart !!!\n"
                             "!!!         your phone          !!!\n"));
    EXPECT_EQ(run.find<QWidget>("IconsPage")->palette().color(QPalette::Window), QColor(166, 202, 240));
    auto* menu = run.find<QMenu>("EditorMenu");
    // The three editors, then after a separator the way back to the default
    // and the handset view's switch, smoothing and snapshots.
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_EQ(menu->actions().at(5)->text(), QStringLiteral("Как на экране телефона"));
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Paint"));
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("Редактор №2"));
    EXPECT_TRUE(menu->actions().at(3)->isSeparator());
}

TEST_F(Window, RepaintRequestsCoalesceAndDoNotRestartATimer)
{
    MainForm& form = *run.form;
    QTimer& t = form.previewTimer();
    t.stop();
    form.requestPreview();
    ASSERT_TRUE(t.isActive());
    QTest::qWait(30);
    const int left = t.remainingTime();
    form.requestPreview();
    EXPECT_LE(t.remainingTime(), left);   // not restarted at 50 ms
    EXPECT_TRUE(form.signalTimer().isActive());
    EXPECT_EQ(form.signalTimer().interval(), 1000);
    EXPECT_EQ(form.signalTimer().timerType(), Qt::PreciseTimer);
}

TEST_F(Window, ShowingAPageRequestsItsRepaint)
{
    MainForm& form = *run.form;
    form.show();
    auto* tabs = run.find<QTabWidget>("PageTabs");
    tabs->setCurrentIndex(2);
    form.menuPreviewTimer().stop();
    form.stripTimer().stop();
    tabs->setCurrentIndex(1);
    EXPECT_TRUE(form.menuPreviewTimer().isActive());
    EXPECT_FALSE(form.stripTimer().isActive());
    form.menuPreviewTimer().stop();
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(form.stripTimer().isActive());
    EXPECT_FALSE(form.menuPreviewTimer().isActive());
}

TEST_F(Window, SettingsScreensSwitchWithoutChangingValues)
{
    run.form->show();
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(3);
    run.find<QLineEdit>("Editor2Edit")->setText(QStringLiteral("kolourpaint"));
    QTest::mouseClick(run.find<QPushButton>("MoreButton"), Qt::LeftButton);
    QTest::mouseClick(run.find<QPushButton>("BackButton"), Qt::LeftButton);
    EXPECT_EQ(run.find<QLineEdit>("Editor2Edit")->text(), QStringLiteral("kolourpaint"));
    EXPECT_TRUE(run.find<QCheckBox>("StripBottomCheck")->isChecked());
}

TEST_F(Window, HelpPageShowsHelpAgainAfterAbout)
{
    run.form->show();
    auto* tabs = run.find<QTabWidget>("PageTabs");
    auto* panel = run.find<QLabel>("HelpPanel");
    tabs->setCurrentIndex(4);
    EXPECT_EQ(panel->text(), HelpText());
    EXPECT_FALSE(run.find<QWidget>("CreatedByLabel")->isVisible());
    EXPECT_EQ(QFontInfo(panel->font()).family(), QStringLiteral("Liberation Sans"));
    QTest::mouseClick(run.find<QWidget>("AboutButton"), Qt::LeftButton);
    QTest::mouseClick(run.find<QWidget>("AboutButton"), Qt::LeftButton);
    EXPECT_EQ(panel->text(), AboutBanner());
    EXPECT_TRUE(run.find<QWidget>("CreatedByLabel")->isVisible());
    EXPECT_EQ(QFontInfo(panel->font()).family(), QStringLiteral("DejaVu Sans Mono"));
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(4);
    EXPECT_EQ(panel->text(), HelpText());
    EXPECT_FALSE(run.find<QWidget>("CreatedByLabel")->isVisible());
}

TEST_F(Window, ThemeFileNameTakesOnlyDigitsLatinLettersAndUnderscore)
{
    run.form->show();
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    auto* edit = run.find<QLineEdit>("ThemeFileEdit");
    edit->setFocus();
    typeText(edit, QStringLiteral("Тема 7.abc"));
    EXPECT_EQ(edit->text(), QStringLiteral("7abc"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, QStringLiteral("_X"));
    EXPECT_EQ(edit->text(), QStringLiteral("a_Xb"));

    edit->clear();
    QApplication::clipboard()->setText(QStringLiteral("../../etc/my theme\n№1"));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("etcmytheme1"));
    edit->clear();
    edit->insert(QStringLiteral("a/b\\c:d"));   // what a drop or an input method does
    EXPECT_EQ(edit->text(), QStringLiteral("abcd"));

    auto* name = run.find<QLineEdit>("ThemeNameEdit");
    name->insert(QStringLiteral("Моя \"тема\"\r\nFN"));
    EXPECT_EQ(name->text(), QStringLiteral("Моя темаFN"));
}

// The package carries the theme name and the greeting in Windows-1251: a
// character outside it is refused whether it is typed or pasted, and
// Cyrillic, the code page's punctuation and the greeting's line breaks stay.
TEST_F(Window, NameAndGreetingTakeOnlyWindows1251)
{
    run.form->show();
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    auto* name = run.find<QLineEdit>("ThemeNameEdit");
    auto* memo = run.find<QPlainTextEdit>("GreetingMemo");
    struct Case {
        QWidget* box;
        std::function<QString()> text;
        std::function<void()> clear;
        std::function<void()> paste;
        const char16_t* pasted;
    };
    const Case cases[] = {
        {name, [&] { return name->text(); }, [&] { name->clear(); }, [&] { name->paste(); }, u"d —№1 "},
        {memo, [&] { return memo->toPlainText(); }, [&] { memo->clear(); }, [&] { memo->paste(); }, u"d —\n№1 "},
    };
    auto* hint = run.find<QLabel>("FieldHint");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box->objectName().toStdString());
        c.clear();
        c.box->setFocus();
        typeText(c.box, QStringLiteral("Zoë «Тема» 中€😀"));
        EXPECT_EQ(c.text(), QStringLiteral("Zo «Тема» €"));
        // Told at the field, and still after the key is released: an input
        // method commits the two halves of the emoji as one.
        typeText(c.box, QStringList{QStringLiteral("😀")});
        EXPECT_TRUE(hint->isVisible());
        EXPECT_EQ(hint->text(), QStringLiteral("Пропущено: «😀». Этих знаков нет в кодировке Windows-1251, а пакет "
                                               "хранит текст в ней."));
        EXPECT_EQ(hint->geometry().top(), c.box->geometry().bottom() + 1);
        hint->hide();
        c.clear();
        QApplication::clipboard()->setText(QStringLiteral("Łódź —\n№1 ✓ Łx"));
        c.paste();
        EXPECT_EQ(c.text(), QString::fromUtf16(c.pasted) + QStringLiteral(" x"));
        // One paste, one note, each character once.
        EXPECT_TRUE(hint->text().startsWith(QStringLiteral("Пропущено: «Ł» «ó» «ź» «✓». ")));
    }
    name->clear();
    typeText(name, QStringLiteral("\""));
    EXPECT_EQ(hint->text(), QStringLiteral("Пропущено: «\"». Кавычки и переносы строк в названии темы недопустимы."));
}

// Tab and Shift+Tab walk the SIS page's fields and buttons; the greeting
// takes no tab character, with or without Ctrl.
TEST_F(Window, TabWalksTheSisPageAndTheGreetingKeepsNoTab)
{
    run.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.form.get()));
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(2);
    auto* memo = run.find<QPlainTextEdit>("GreetingMemo");
    const QString greeting = memo->toPlainText();
    memo->setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* focus;
    } presses[] = {
        {Qt::Key_Tab, Qt::NoModifier, "ThemeNameEdit"},
        {Qt::Key_Tab, Qt::NoModifier, "ThemeFileEdit"},
        {Qt::Key_Tab, Qt::NoModifier, "LoadMenuAifButton"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "ThemeFileEdit"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "ThemeNameEdit"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "GreetingMemo"},
        {Qt::Key_Tab, Qt::NoModifier, "ThemeNameEdit"},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.focus);
        QTest::keyClick(QApplication::focusWidget(), p.key, p.mods);
        ASSERT_TRUE(QApplication::focusWidget());
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(p.focus));
    }
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(memo->toPlainText(), greeting);
}

// After a name typed in full the dialog opens in that file's folder with an
// empty name field, under the window's caption.
TEST(FileDialog, OpensInTheFolderOfTheLastFileTaken)
{
    TempDir dir;
    const QString folder = QDir(QString::fromStdString(dir.path().string())).canonicalPath();
    const QString picture = folder + QStringLiteral("/pic.bmp");
    ASSERT_TRUE(writeFile(picture, "BM"));
    QWidget owner;
    WidgetDialogs dialogs(&owner);
    QFileDialog* dialog = dialogs.fileDialog();
    QString seenFolder;
    QString seenName;
    const auto answer = [&](std::function<void(QLineEdit*)> act) {
        QTimer::singleShot(0, dialog, [&, act] {
            ASSERT_TRUE(waitFor([&] { return dialog->isVisible(); }));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(name);
            seenFolder = dialog->directory().absolutePath();
            seenName = name->text();
            act(name);
        });
    };
    answer([&](QLineEdit* name) {
        name->setText(picture);
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.openFile(QStringLiteral("Pictures (*.bmp)|*.bmp")), std::optional<QString>(picture));
    EXPECT_EQ(seenFolder, QDir::homePath());

    answer([&](QLineEdit*) { dialog->reject(); });
    EXPECT_FALSE(dialogs.openFile(QStringLiteral("Pictures (*.bmp)|*.bmp")));
    EXPECT_EQ(seenFolder, folder);
    EXPECT_TRUE(seenName.isEmpty());
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf16(WindowCaption));
}

TEST_F(Window, FrameAroundThePagesIsPainted)
{
    MainForm& form = *run.form;
    form.show();
    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.pixelColor(8, 100), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(100, 8), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(9, 100), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(323, 100), QColor(Qt::black));
    EXPECT_NE(shot.pixelColor(324, 100), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(100, 264), QColor(Qt::black));
}

TEST(CharacterFilter, Rules)
{
    using R = CharacterFilter::Rule;
    for (QChar c : QStringLiteral("09AZaz_"))
        EXPECT_TRUE(CharacterFilter::allowed(R::FileName, c));
    for (QChar c : QStringLiteral(" .-/\\:ЯёÄ\t\r\n\"*?"))
        EXPECT_FALSE(CharacterFilter::allowed(R::FileName, c)) << static_cast<int>(c.unicode());
    EXPECT_TRUE(CharacterFilter::allowed(R::ThemeName, u'Я'));
    EXPECT_FALSE(CharacterFilter::allowed(R::ThemeName, u'"'));
    EXPECT_FALSE(CharacterFilter::allowed(R::ThemeName, u'\n'));
}

} // namespace
} // namespace kastra
