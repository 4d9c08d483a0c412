// The window as built: every control where the layout puts it, with its
// caption, font and state; captions that fit; the repaint-request rule; the
// page events; the settings screens; the help page; the file name filter.
#include "gui_support.h"

#include "app/help_texts.h"
#include "app/sis_page.h"
#include "app/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
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

namespace kastra {
namespace {

struct Expected {
    const char* name;
    int x, y, w, h;         // w = 0: sized to its caption
    const char16_t* caption;
    const char* family;     // the face the font resolves to; nullptr: any
    int cell;               // the font's cell height; 0: not checked
};

// The layout, control by control, in each control's parent coordinates.
const Expected Layout[] = {
    {"PreviewBox", 344, 8, 176, 220, nullptr, nullptr, 0},
    {"LoadPictureButton", 344, 232, 177, 33, u"Загрузить картинку", nullptr, 0},
    {"PageTabs", 10, 10, 312, 253, nullptr, nullptr, 0},
    {"DesktopStripBox", 2, 8, 176, 12, nullptr, nullptr, 0},
    {"DesktopTopLabel", 192, 8, 0, 0, u"Верхушка десктопа", "Liberation Sans", 13},
    {"StripRefreshImage", 179, 8, 11, 14, nullptr, nullptr, 0},
    {"BootStripBox", 2, 24, 176, 12, nullptr, nullptr, 0},
    {"BootTopLabel", 192, 24, 0, 0, u"Верхушка загрузки", "Liberation Sans", 13},
    {"NoSignalBox", 146, 40, 32, 12, nullptr, nullptr, 0},
    {"MaskImage", 180, 40, 11, 13, nullptr, nullptr, 0},
    {"NoSignalLabel", 192, 40, 0, 0, u"Маска для 'No Signal'", "Liberation Sans", 13},
    {"SignalStripBox", 2, 56, 192, 12, nullptr, nullptr, 0},
    {"Avkon445Box", 248, 56, 44, 12, nullptr, nullptr, 0},
    {"SchemeGroup", 8, 72, 289, 33, u"Цветовая схема", nullptr, 0},
    {"BlueSkyRadio", 6, 15, 64, 12, u"Blue Sky", "Liberation Sans", 8},
    {"BeachRadio", 88, 15, 51, 12, u"Beach", "Liberation Sans", 8},
    {"CityRadio", 160, 15, 37, 12, u"City", "Liberation Sans", 8},
    {"MagentaRadio", 217, 15, 62, 12, u"Magenta", "Liberation Sans", 8},
    {"LoadGroup", 8, 104, 289, 57, u"Загрузить", nullptr, 0},
    {"LoadEidPicButton", 8, 24, 64, 22, u"EidPic", nullptr, 0},
    {"LoadBackGrButton", 78, 24, 64, 22, u"BackGr", nullptr, 0},
    {"LoadAvkonButton", 147, 24, 64, 22, u"Avkon", nullptr, 0},
    {"LoadAvkonExButton", 217, 24, 64, 22, u"AvkonEx", nullptr, 0},
    {"SaveGroup", 7, 160, 289, 57, u"Сохранить", nullptr, 0},
    {"SaveEidPicButton", 8, 24, 64, 22, u"EidPic", nullptr, 0},
    {"SaveBackGrButton", 78, 24, 64, 22, u"BackGr", nullptr, 0},
    {"SaveAvkonButton", 147, 24, 64, 22, u"Avkon", nullptr, 0},
    {"SaveAvkonExButton", 217, 24, 64, 22, u"AvkonEx", nullptr, 0},
    {"MenuFoldersGroup", 0, 0, 305, 153, u"Menu Folders", nullptr, 0},
    {"SmallFoldersBox", 8, 16, 252, 29, nullptr, nullptr, 0},
    {"LargeFoldersBox", 8, 56, 264, 44, nullptr, nullptr, 0},
    {"FolderNamesLabel", 10, 101, 0, 0, u"Камера Органайз Музыка  Игры    Прочее   Настр.", "DejaVu Sans", 12},
    {"LoadMenuFoldersButton", 12, 120, 64, 22, u"Загрузить", "Liberation Sans", 12},
    {"SaveMenuFoldersButton", 84, 120, 64, 22, u"Сохранить", "Liberation Sans", 12},
    {"Avkon138Box", 64, 165, 44, 44, nullptr, nullptr, 0},
    {"Avkon136Box", 10, 173, 42, 29, nullptr, nullptr, 0},
    {"Avkon202Box", 120, 167, 30, 40, nullptr, nullptr, 0},
    {"StandardFoldersLabel", 9, 209, 0, 0, u"Стандартные папки", "DejaVu Sans", 12},
    {"GreetingLabel", 0, 0, 0, 0, u"Текст приветствия", "Liberation Sans", 13},
    {"GreetingMemo", 0, 17, 193, 88, nullptr, "Liberation Sans", 8},
    {"ThemeNameLabel", 2, 105, 0, 0, u"Название темы", nullptr, 0},
    {"ThemeNameEdit", 1, 122, 192, 22, nullptr, nullptr, 0},
    {"ThemeFileLabel", 2, 145, 0, 0, u"Имя файла темы", nullptr, 0},
    {"ThemeFileEdit", 2, 166, 191, 22, nullptr, nullptr, 0},
    {"LoadMenuAifButton", 205, 17, 99, 24, u"Загр. veZozi", nullptr, 0},
    {"LoadAppAifButton", 205, 48, 99, 24, u"Загр. veZor", nullptr, 0},
    {"LoadThemeButton", 205, 80, 99, 24, u"Загр. тему", nullptr, 0},
    {"LoadFontButton", 204, 121, 99, 24, u"Загр. шрифт", nullptr, 0},
    {"FontStatusLabel", 205, 147, 96, 14, nullptr, "Liberation Sans", 10},
    {"BuildButton", 204, 165, 99, 24, u"Build", nullptr, 0},
    {"BuildProgress", 2, 198, 301, 18, nullptr, nullptr, 0},
    {"EditorsLabel", 8, 6, 0, 0, u"Внешние редакторы", nullptr, 0},
    {"Editor1Edit", 8, 24, 185, 22, nullptr, nullptr, 0},
    {"Editor2Edit", 8, 48, 185, 22, nullptr, nullptr, 0},
    {"Editor3Edit", 8, 72, 185, 22, nullptr, nullptr, 0},
    {"Browse1Button", 194, 23, 25, 23, u"...", nullptr, 0},
    {"Browse2Button", 194, 48, 25, 22, u"...", nullptr, 0},
    {"Browse3Button", 194, 72, 25, 22, u"...", nullptr, 0},
    {"Default1Radio", 224, 24, 0, 0, u"Default", nullptr, 0},
    {"Default2Radio", 224, 48, 0, 0, u"Default", nullptr, 0},
    {"Default3Radio", 224, 72, 0, 0, u"Default", nullptr, 0},
    {"LabelsGroup", 8, 120, 185, 97, u"Подписи", nullptr, 0},
    {"Label1Edit", 8, 19, 167, 22, nullptr, nullptr, 0},
    {"Label2Edit", 8, 43, 167, 22, nullptr, nullptr, 0},
    {"Label3Edit", 8, 67, 167, 22, nullptr, nullptr, 0},
    {"MoreButton", 216, 160, 81, 25, u"Еще ->", nullptr, 0},
    {"SideStripsGroup", 8, 8, 145, 89, u"Боковые полоски", nullptr, 0},
    {"StripTopCheck", 16, 24, 0, 0, u"Сверху", nullptr, 0},
    {"StripBottomCheck", 16, 56, 0, 0, u"Снизу", nullptr, 0},
    {"SeparateEidPicCheck", 8, 104, 0, 0, u"Разные картинки для EidPic", nullptr, 0},
    {"BackButton", 216, 160, 81, 25, u"<- Назад", nullptr, 0},
    {"SaveSettingsButton", 216, 192, 81, 25, u"Сохранить", nullptr, 0},
    {"HelpPanel", 0, 0, 300, 190, nullptr, nullptr, 0},
    {"CreatedByLabel", 103, 7, 0, 0, u"Created by", "Comic Neue", 25},
    {"AboutButton", 0, 194, 300, 26, u"About", nullptr, 0},
};

QString captionOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return {};
}

// The room a caption needs in its control, as the control draws it.
int neededWidth(QWidget* w)
{
    const QString text = captionOf(w);
    const int textWidth = QFontMetrics(w->font()).horizontalAdvance(text);
    QStyle* style = w->style();
    if (qobject_cast<QRadioButton*>(w))
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w)
             + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w) + textWidth;
    if (qobject_cast<QCheckBox*>(w))
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w)
             + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) + textWidth;
    if (qobject_cast<QPushButton*>(w))
        return textWidth + 4;
    if (qobject_cast<QGroupBox*>(w))
        return textWidth + 12;
    return textWidth;
}

// Typing as a keyboard does, any letter: QTest's own key clicks know ASCII
// only.
void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

class Window : public ::testing::Test {
protected:
    void SetUp() override { run.start(); }
    AppRun run;
};

TEST_F(Window, EveryControlIsWhereTheLayoutPutsIt)
{
    MainForm& form = *run.form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Halvorn Kastra Theme Creator v1.11"));
    EXPECT_EQ(form.size(), QSize(529, 271));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    for (const Expected& e : Layout) {
        SCOPED_TRACE(e.name);
        QWidget* w = run.find<QWidget>(e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), QPoint(e.x, e.y));
        const QSize expectedSize = e.w > 0 ? QSize(e.w, e.h) : w->sizeHint();
        EXPECT_EQ(w->size(), expectedSize);
        if (e.caption) {
            EXPECT_EQ(captionOf(w), QString::fromUtf16(e.caption));
            EXPECT_LE(neededWidth(w), w->width()) << "caption clipped";
        }
        if (e.family) {
            EXPECT_EQ(QFontInfo(w->font()).family(), QString::fromLatin1(e.family));
        }
        if (e.cell) {
            EXPECT_LE(QFontMetrics(w->font()).height(), e.cell);
        }
    }
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
    EXPECT_FALSE(run.find<QPushButton>("LoadThemeButton")->isEnabled());
    EXPECT_TRUE(run.find<QWidget>("CreatedByLabel")->isHidden());
    EXPECT_TRUE(run.find<QWidget>("BackButton")->isHidden());
    EXPECT_TRUE(run.find<QWidget>("SideStripsGroup")->isHidden());
    EXPECT_FALSE(run.find<QWidget>("MoreButton")->isHidden());
    EXPECT_EQ(run.find<QPlainTextEdit>("GreetingMemo")->toPlainText(),
              QStringLiteral("Theme created with:\nProgram: Kastra Theme Creator\nTheme creator: -\n"
                             "--------------------------------\n!!! After installing restart !!!\n"
                             "!!!         your phone          !!!\n"));
    for (const char* hand : {"PreviewBox", "DesktopStripBox", "Avkon202Box", "SignalStripBox"})
        EXPECT_EQ(run.find<QWidget>(hand)->cursor().shape(), Qt::PointingHandCursor) << hand;
    EXPECT_EQ(run.find<QWidget>("Editor1Edit")->palette().color(QPalette::Text), QColor(128, 0, 128));
    EXPECT_EQ(run.find<QWidget>("IconsPage")->palette().color(QPalette::Window), QColor(166, 202, 240));
    auto* menu = run.find<QMenu>("EditorMenu");
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Paint"));
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("Редактор №2"));
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
    const char* first[] = {"EditorsLabel", "Editor1Edit", "Editor2Edit", "Editor3Edit", "Browse1Button", "Browse2Button",
                           "Browse3Button", "Default1Radio", "Default2Radio", "Default3Radio", "LabelsGroup", "MoreButton"};
    const char* second[] = {"SideStripsGroup", "SeparateEidPicCheck", "BackButton"};
    QTest::mouseClick(run.find<QPushButton>("MoreButton"), Qt::LeftButton);
    for (const char* n : first)
        EXPECT_FALSE(run.find<QWidget>(n)->isVisible()) << n;
    for (const char* n : second)
        EXPECT_TRUE(run.find<QWidget>(n)->isVisible()) << n;
    EXPECT_TRUE(run.find<QWidget>("SaveSettingsButton")->isVisible());
    QTest::mouseClick(run.find<QPushButton>("BackButton"), Qt::LeftButton);
    for (const char* n : first)
        EXPECT_TRUE(run.find<QWidget>(n)->isVisible()) << n;
    for (const char* n : second)
        EXPECT_FALSE(run.find<QWidget>(n)->isVisible()) << n;
    EXPECT_TRUE(run.find<QWidget>("SaveSettingsButton")->isVisible());
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box->objectName().toStdString());
        c.clear();
        c.box->setFocus();
        typeText(c.box, QStringLiteral("Zoë «Тема» 中€😀"));
        EXPECT_EQ(c.text(), QStringLiteral("Zo «Тема» €"));
        c.clear();
        QApplication::clipboard()->setText(QStringLiteral("Łódź —\n№1 ✓"));
        c.paste();
        EXPECT_EQ(c.text(), QString::fromUtf16(c.pasted));
    }
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
