#include "controls/QVR_StretchableBorderView.h"

#include <QPainter>
#include <QPainterPath>

#include "controls/ViewUtils.h"

QVR_StretchableBorderView::QVR_StretchableBorderView(const QRect& frame, bool docked, QWidget* parent)
    : QWidget(parent)
    , m_docked(docked)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(frame);
}

QPixmap QVR_StretchableBorderView::borderImage(bool docked, double devicePixelRatio)
{
    const double side = 3 * kCap; // corners, one stretchable centre cell, corners
    QPixmap image(QSize(int(side * devicePixelRatio), int(side * devicePixelRatio)));
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (docked) {
        painter.fillRect(QRectF(0, 0, side, side), QColor(0xF4, 0xF4, 0xF4));
        painter.fillRect(QRectF(0, 0, 1, side), QColor(0, 0, 0, 70));
    } else {
        for (int i = 0; i < 4; ++i) { // soft shadow, outermost first
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 10 + 6 * i));
            const double inset = 4.0 - i;
            painter.drawRoundedRect(QRectF(inset, inset + 1, side - 2 * inset, side - 2 * inset), 8, 8);
        }
        painter.setBrush(QColor(0xF8, 0xF8, 0xF8));
        painter.setPen(QPen(QColor(0, 0, 0, 50), 1.0));
        painter.drawRoundedRect(QRectF(4.5, 4.5, side - 9, side - 9), 6, 6);
    }
    return image;
}

void QVR_StretchableBorderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap image = borderImage(m_docked, devicePixelRatioF());
    ViewUtils::drawNinePartImage(&painter, image, QRectF(rect()), kCap, kCap, kCap, kCap);
}
