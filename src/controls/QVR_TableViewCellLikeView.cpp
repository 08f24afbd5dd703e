#include "controls/QVR_TableViewCellLikeView.h"

#include <QPainter>

QVR_TableViewCellLikeView::QVR_TableViewCellLikeView(QWidget* parent)
    : SimpleControlView(parent)
{
    resize(sizeHint());
}

void QVR_TableViewCellLikeView::setCellTitle(const QString& title)
{
    m_title = title;
    update();
}

void QVR_TableViewCellLikeView::setIconImage(const QPixmap& image)
{
    m_icon = image;
    update();
}

void QVR_TableViewCellLikeView::setIconImage_pressedState(const QPixmap& image)
{
    m_iconPressed = image;
    update();
}

void QVR_TableViewCellLikeView::setIconImage_hoverState(const QPixmap& image)
{
    m_iconHover = image;
    update();
}

QPixmap QVR_TableViewCellLikeView::currentIcon() const
{
    if (currentControlState() == PressedInside && !m_iconPressed.isNull())
        return m_iconPressed;
    if ((currentControlState() == PointerInside || hasFocus()) && !m_iconHover.isNull())
        return m_iconHover;
    return m_icon;
}

void QVR_TableViewCellLikeView::clicked()
{
    SimpleControlView::clicked();
    if (m_delegate)
        m_delegate->tableViewCellLikeViewClicked(this);
}

void QVR_TableViewCellLikeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (currentControlState() == PressedInside)
        painter.fillRect(rect(), QColor(0, 0, 0, 40));
    else if (currentControlState() == PointerInside || hasFocus()) // QWidget repaints as the focus comes and goes
        painter.fillRect(rect(), QColor(0, 0, 0, 18));
    painter.setPen(QColor(0, 0, 0, 30));
    painter.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));

    int textLeft = 12;
    const QPixmap icon = currentIcon();
    if (!icon.isNull()) {
        const QSizeF iconSize = QSizeF(icon.size()) / icon.devicePixelRatio();
        const QRectF target(12, (height() - iconSize.height()) / 2.0, iconSize.width(), iconSize.height());
        painter.drawPixmap(target, icon, QRectF(icon.rect()));
        textLeft = int(target.right()) + 10;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textRect(textLeft, 0, width() - textLeft - 12, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(m_title, Qt::ElideRight, textRect.width()));
}
