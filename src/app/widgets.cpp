#include "app/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionButton>

namespace kastra {

PaintBox::PaintBox(const QSize& size, QWidget* parent)
    : QWidget(parent), m_surface(size.width(), size.height(), fromQRgb(parent->palette().color(QPalette::Window).rgb()))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(size);
}

void PaintBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_surface.image());
}

void PaintBox::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button(), event->position().toPoint());
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

} // namespace kastra
