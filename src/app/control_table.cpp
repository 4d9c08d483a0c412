#include "app/control_table.h"

#include "preview/fonts.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

namespace kastra {

QFont PageFont()
{
    return CellFont(QStringLiteral("MS Sans Serif"), 0);
}

QFont rowFont(const ControlSpec& row, const QFont& parentFont)
{
    const bool bold = (row.flags & Bold) != 0;
    QFont font = parentFont;
    if (row.fontFamily || row.fontHeight >= 0) {
        const QString family = row.fontFamily ? QString::fromLatin1(row.fontFamily) : parentFont.family();
        int height = row.fontHeight;
        if (height < 0)
            height = QFontMetrics(parentFont).height();
        font = CellFont(family, height, bold);
    } else if (bold) {
        font.setBold(true);
    }
    if (row.flags & Underline)
        font.setUnderline(true);
    return font;
}

namespace {

QWidget* makeWidget(const ControlSpec& row, QWidget* parent, const ImageList& images)
{
    const QString caption = row.caption ? QString::fromUtf16(row.caption) : QString();
    const QSize size(row.width, row.height);
    switch (row.kind) {
    case Kind::PaintBox: return new PaintBox(size, parent);
    case Kind::ImageView:
        return new ImageView((row.flags & ImageChevron) ? images.chevron : images.arrow, parent);
    case Kind::Label: {
        auto* l = new QLabel(caption, parent);
        l->setTextFormat(Qt::PlainText);
        if (row.flags & Centred)
            l->setAlignment(Qt::AlignCenter);
        return l;
    }
    case Kind::Button: return new QPushButton(caption, parent);
    case Kind::PictureButton: {
        auto* b = new PictureButton(caption, parent);
        b->setFlat((row.flags & Flat) != 0);
        return b;
    }
    case Kind::CheckBox: return new QCheckBox(caption, parent);
    case Kind::Radio: return new QRadioButton(caption, parent);
    case Kind::Edit: {
        auto* e = new QLineEdit(caption, parent);
        PassFileDragsOn(e);
        return e;
    }
    case Kind::Memo: {
        auto* m = new QPlainTextEdit(caption, parent);
        m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        PassFileDragsOn(m);
        PassFileDragsOn(m->viewport());
        return m;
    }
    case Kind::Group: return new QGroupBox(caption, parent);
    case Kind::Panel: {
        // Draws its caption from the top-left corner, breaking lines only
        // where the text does and never wrapping; "&" is an ordinary
        // character.
        auto* p = new QLabel(caption, parent);
        p->setTextFormat(Qt::PlainText);
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        p->setWordWrap(false);
        return p;
    }
    case Kind::Progress: {
        auto* p = new QProgressBar(parent);
        p->setTextVisible(false);
        p->setRange(0, 100);
        p->setValue(0);
        return p;
    }
    case Kind::Tabs: {
        // Flat tabs without a client edge; neither the control nor its
        // tabs take the focus.
        auto* t = new QTabWidget(parent);
        t->setDocumentMode(true);
        t->tabBar()->setFocusPolicy(Qt::NoFocus);
        t->tabBar()->setDrawBase(false);
        t->setAutoFillBackground(true);
        return t;
    }
    }
    return new QWidget(parent);
}

void applyColours(QWidget* w, const ControlSpec& row)
{
    QPalette pal = w->palette();
    bool changed = false;
    if (row.textColour) {
        const QColor c(static_cast<int>((row.textColour >> 16) & 0xFF), static_cast<int>((row.textColour >> 8) & 0xFF),
                       static_cast<int>(row.textColour & 0xFF));
        pal.setColor(QPalette::WindowText, c);
        pal.setColor(QPalette::Text, c);
        pal.setColor(QPalette::ButtonText, c);
        if (auto* pb = qobject_cast<PictureButton*>(w))
            pb->setCaptionColour(c);
        changed = true;
    }
    if (row.flags & ButtonFace) {
        pal.setColor(QPalette::Window, pal.color(QPalette::Button));
        w->setAutoFillBackground(true);
        changed = true;
    }
    if (row.flags & WindowBack) {
        pal.setColor(QPalette::Base, pal.color(QPalette::Base));
        changed = true;
    }
    if (changed)
        w->setPalette(pal);
}

} // namespace

ControlWidgets buildControls(QWidget* page, std::span<const ControlSpec> rows, const ImageList& images)
{
    page->setFont(PageFont());
    std::vector<QWidget*> made;
    made.reserve(rows.size());
    for (const ControlSpec& row : rows) {
        Q_ASSERT(row.id == static_cast<int>(made.size()) && row.parent < row.id);
        QWidget* parent = row.parent == Top ? page : made.at(static_cast<std::size_t>(row.parent));
        QWidget* w = makeWidget(row, parent, images);
        w->setObjectName(QString::fromLatin1(row.name));
        // A tab control's font is that of its tabs; the pages set their own.
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            tabs->tabBar()->setFont(rowFont(row, parent->font()));
        else
            w->setFont(rowFont(row, parent->font()));
        applyColours(w, row);
        if (row.width > 0 && row.height > 0) {
            w->setGeometry(row.x, row.y, row.width, row.height);
        } else {
            // Sized to its caption in its own font, as AutoSize did.
            w->move(row.x, row.y);
            w->adjustSize();
            w->resize(w->sizeHint());
        }
        if (row.flags & HandCursor)
            w->setCursor(Qt::PointingHandCursor);
        if (row.flags & NoTabStop)
            w->setFocusPolicy(Qt::NoFocus);
        if (row.flags & Disabled)
            w->setEnabled(false);
        // The settings page's screens are its own business: it shows one of
        // them once its controls exist.
        if (row.flags & Hidden)
            w->hide();
        made.push_back(w);
    }
    return ControlWidgets(std::move(made));
}

} // namespace kastra
