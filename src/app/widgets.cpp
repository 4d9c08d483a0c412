#include "app/widgets.h"

#include "preview/hit_test.h"

#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace kastra {

PaintBox::PaintBox(const QSize& size, QWidget* parent)
    : QWidget(parent), m_surface(size.width(), size.height(), fromQRgb(parent->palette().color(QPalette::Window).rgb()))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(size);
}

void PaintBox::paintEvent(QPaintEvent*)
{
    // On a high-density screen every surface pixel becomes a block of
    // device pixels, never a blend of its neighbours: a theme maker judges
    // single pixels.
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(0, 0, m_surface.image());
}

void PaintBox::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button(), PixelAt(event->position()));
}

ImageView::ImageView(const QPixmap& image, QWidget* parent) : QWidget(parent), m_image(image)
{
    // Transparent background: the page shows through the image's white.
}

void ImageView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_image);
}

void ImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

PictureButton::PictureButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    setText(caption);
    setAttribute(Qt::WA_Hover);
}

QSize PictureButton::sizeHint() const
{
    return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(8, 6);
}

void PictureButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool down = isDown();
    if (!m_flat || m_hover || down) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        if (m_flat)
            option.features |= QStyleOptionButton::Flat;
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    }
    const QRect area = rect().translated(down ? 1 : 0, down ? 1 : 0);
    p.setPen(m_captionColour.isValid() ? m_captionColour : palette().color(QPalette::ButtonText));
    p.setFont(font());
    p.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
}

namespace {

class FileDragPassing final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, event);
        auto* drag = static_cast<QDropEvent*>(event);
        const QList<QUrl> urls = drag->mimeData()->urls();
        if (std::none_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); }))
            return QObject::eventFilter(watched, event);
        // Ignored and not delivered: Qt offers the drag to the parents, up
        // to the window.
        drag->ignore();
        return true;
    }
};

} // namespace

void PassFileDragsOn(QWidget* field)
{
    field->installEventFilter(new FileDragPassing(field));
}

FieldHint::FieldHint(QWidget* page) : QLabel(page)
{
    setObjectName(QStringLiteral("FieldHint"));
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(2);
    setAutoFillBackground(true);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_timer.setSingleShot(true);
    m_timer.setInterval(ShownMs);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void FieldHint::showBelow(QWidget* field, const QString& text)
{
    if (text.isEmpty()) {
        hide();
        return;
    }
    setText(text);
    QWidget* page = parentWidget();
    const QPoint at = field->mapTo(page, QPoint(0, field->height()));
    const int width = page->width() - at.x() - 2;
    resize(width, heightForWidth(width));
    // Kept on the page: a note under the lowest field goes above it.
    move(at.x(), at.y() + height() <= page->height() ? at.y() : std::max(0, at.y() - field->height() - height()));
    raise();
    show();
    m_timer.start();
}

BusyCursor::BusyCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The window is painted now, before the work holds the thread: the
    // button the user pressed comes up and the page shows as it is, instead
    // of a frozen half-pressed picture. Only waiting repaints run here; no
    // input, timer or other event does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

BusyCursor::~BusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

KastraStyle::KastraStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int KastraStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        if (widget && widget->height() > 0 && widget->height() < 13)
            return widget->height();
        return 13;
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
        return 4;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int KastraStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                           QStyleHintReturn* returnData) const
{
    if (hint == SH_GroupBox_TextLabelVerticalAlignment)
        return Qt::AlignVCenter;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

namespace {

// Where Windows puts a group box's parts, for a caption of the given height
// and width: the etched frame starts half a line down, less one pixel; the
// caption starts 7 pixels in, with 2 pixels of the background cleared on
// either side so the frame line stops short of it.
constexpr int CaptionIndent = 7;
constexpr int CaptionGap = 2;

int frameTop(const QStyleOptionGroupBox& box)
{
    return box.text.isEmpty() ? 0 : std::max(0, box.fontMetrics.height() / 2 - 1);
}

QRect captionRect(const QStyleOptionGroupBox& box)
{
    if (box.text.isEmpty())
        return {};
    const int width = box.fontMetrics.horizontalAdvance(box.text) + 2 * CaptionGap;
    return {box.rect.left() + CaptionIndent, box.rect.top(), std::min(width, box.rect.width() - CaptionIndent),
            box.fontMetrics.height()};
}

} // namespace

QRect KastraStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                  const QWidget* widget) const
{
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !box)
        return QProxyStyle::subControlRect(control, option, sub, widget);
    const QRect frame = box->rect.adjusted(0, frameTop(*box), 0, 0);
    switch (sub) {
    case SC_GroupBoxFrame: return frame;
    case SC_GroupBoxLabel: return captionRect(*box);
    case SC_GroupBoxContents:
        return frame.adjusted(2, std::max(2, box->fontMetrics.height() - frameTop(*box)), -2, -2);
    default: return QProxyStyle::subControlRect(control, option, sub, widget);
    }
}

void KastraStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !box) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // The etched edge: a shadow rectangle with a light one a pixel to the
    // lower right, so the line looks cut into the face.
    const QRect frame = subControlRect(CC_GroupBox, box, SC_GroupBoxFrame, widget);
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(box->palette.color(QPalette::Dark));
    painter->drawRect(frame.adjusted(0, 0, -2, -2));
    painter->setPen(box->palette.color(QPalette::Light));
    painter->drawRect(frame.adjusted(1, 1, -1, -1));
    const QRect caption = subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
    if (!caption.isEmpty()) {
        painter->fillRect(caption, box->palette.brush(QPalette::Window));
        drawItemText(painter, caption.adjusted(CaptionGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                     box->palette, box->state & State_Enabled, box->text, QPalette::WindowText);
    }
    painter->restore();
}

} // namespace kastra
