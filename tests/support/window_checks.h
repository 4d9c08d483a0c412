#pragma once
// What a user sees of the window's controls, page by page and screen by
// screen, checked from the window's and the pages' control tables: every
// control the layout shows at that moment is visible, lies inside its parent
// (inside the frame when the parent is a group box) and shows its whole
// caption. Used at the normal and at the doubled scale.

#include "app/control_table.h"
#include "app/help_page.h"
#include "app/icons_page.h"
#include "app/main_form.h"
#include "app/pictures_page.h"
#include "app/settings_page.h"
#include "app/sis_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <span>
#include <vector>

namespace kastra::test {

struct PageTable {
    int index;   // tab index
    std::span<const ControlSpec> rows;
};

inline std::vector<PageTable> pageTables()
{
    return {{0, PicturesPage::rows()}, {1, IconsPage::rows()}, {2, SisPage::rows()}, {3, SettingsPage::rows()},
            {4, HelpPage::rows()}};
}

// Whether the layout shows the row now; screen is the settings page's
// screen (1 or 2), 0 on the other pages.
inline bool shownNow(const ControlSpec& row, int screen)
{
    if (row.flags & Hidden)
        return false;
    if (row.flags & Screen1)
        return screen == 1;
    if (row.flags & Screen2)
        return screen == 2;
    return true;
}

// The rectangle the control draws its caption into, as its style lays it
// out, and the caption; an empty caption has nothing to clip.
struct CaptionArea {
    QRect area;
    QString text;
};

inline CaptionArea captionArea(QWidget* w)
{
    QStyle* style = w->style();
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox o;
        o.initFrom(g);
        o.text = g->title();
        o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return {style->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g), g->title()};
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        if (qobject_cast<QRadioButton*>(w))
            return {style->subElementRect(QStyle::SE_RadioButtonContents, &o, b), b->text()};
        if (qobject_cast<QCheckBox*>(w))
            return {style->subElementRect(QStyle::SE_CheckBoxContents, &o, b), b->text()};
        if (qobject_cast<QPushButton*>(w))
            return {style->subElementRect(QStyle::SE_PushButtonContents, &o, b), b->text()};
        return {b->rect(), b->text()};   // the picture button draws on its whole face
    }
    if (auto* l = qobject_cast<QLabel*>(w))
        return {l->contentsRect(), l->text()};
    return {};
}

// The caption's lines fit the area in the control's font, and the area
// lies inside the control.
inline void expectCaptionFits(QWidget* w)
{
    const CaptionArea c = captionArea(w);
    if (c.text.isEmpty())
        return;
    const QSize needed = QFontMetrics(w->font()).boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft, c.text).size();
    EXPECT_GE(c.area.width(), needed.width()) << "caption clipped: " << c.text.toStdString();
    EXPECT_GE(c.area.height(), QFontMetrics(w->font()).height() * static_cast<int>(c.text.count(u'\n') + 1) - 1)
        << "caption cut off at the bottom: " << c.text.toStdString();
    EXPECT_TRUE(w->rect().contains(c.area)) << "caption area outside the control";
}

// The frame a group box draws, found in its pixels: the box alone, without
// its children, scanned from the middle of each side outwards for the first
// pixel that is not the face inside.
inline QRect drawnFrame(QGroupBox* g)
{
    QImage img(g->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    g->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    const int w = img.width(), h = img.height();
    const QRgb face = img.pixel(w / 2, h / 2);
    int top = h / 2, bottom = h / 2, left = w / 2, right = w / 2;
    // Scanned near the right edge, clear of the caption at the left.
    while (top > 0 && img.pixel(w - 6, top - 1) == face)
        --top;
    while (bottom < h - 1 && img.pixel(w - 6, bottom + 1) == face)
        ++bottom;
    while (left > 0 && img.pixel(left - 1, h / 2) == face)
        --left;
    while (right < w - 1 && img.pixel(right + 1, h / 2) == face)
        ++right;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Inside the parent; inside the frame a group box draws, clear of its
// caption.
inline void expectInsideParent(QWidget* w)
{
    QWidget* parent = w->parentWidget();
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->rect().contains(w->geometry()))
        << "outside its parent " << parent->objectName().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(parent)) {
        QStyleOptionGroupBox o;
        o.initFrom(g);
        o.text = g->title();
        o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect caption = g->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g);
        EXPECT_TRUE(drawnFrame(g).contains(w->geometry()))
            << "on or outside the frame drawn by " << g->objectName().toStdString();
        EXPECT_FALSE(caption.intersects(w->geometry())) << "over the caption of " << g->objectName().toStdString();
    }
}

inline void expectPageAsLaidOut(const MainForm& form, std::span<const ControlSpec> rows, int screen)
{
    for (const ControlSpec& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (screen ? " on screen " + std::to_string(screen) : std::string()));
        auto* w = form.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr);
        if (!shownNow(row, screen)) {
            EXPECT_FALSE(w->isVisible());
            continue;
        }
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->pos(), QPoint(row.x, row.y));
        if (row.width > 0) {
            EXPECT_EQ(w->size(), QSize(row.width, row.height));
        }
        expectInsideParent(w);
        expectCaptionFits(w);
    }
}

// The window's own controls, then every page in turn, the settings page on
// its first screen, its second, and its first again.
inline void expectEveryPageAsLaidOut(MainForm& form)
{
    expectPageAsLaidOut(form, MainForm::rows(), 0);
    QTabWidget* tabs = form.pageTabs();
    for (const PageTable& page : pageTables()) {
        tabs->setCurrentIndex(page.index);
        QTest::qWait(1);
        if (page.index != 3) {
            expectPageAsLaidOut(form, page.rows, 0);
            continue;
        }
        expectPageAsLaidOut(form, page.rows, 1);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("MoreButton")), Qt::LeftButton);
        expectPageAsLaidOut(form, page.rows, 2);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BackButton")), Qt::LeftButton);
        expectPageAsLaidOut(form, page.rows, 1);
    }
    tabs->setCurrentIndex(0);
}

} // namespace kastra::test
