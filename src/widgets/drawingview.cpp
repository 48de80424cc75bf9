#include "widgets/drawingview.h"

#include <QMouseEvent>
#include <QPainter>

DrawingImage::DrawingImage(QWidget* parent) : QWidget(parent) {}

void DrawingImage::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void DrawingImage::setStretch(bool on)
{
    m_stretch = on;
    update();
}

void DrawingImage::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter p(this);
    if (m_stretch) {
        p.drawImage(rect(), m_image);  // fills the control, distorted if need be
    } else {
        const QPoint topLeft((width() - m_image.width()) / 2, (height() - m_image.height()) / 2);
        p.drawImage(topLeft, m_image);
    }
}

void DrawingImage::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void DrawingImage::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}
