#include "controls/QVRGreyHighlightTableRowView.h"

#include <QPainter>

QVRGreyHighlightTableRowView::QVRGreyHighlightTableRowView(QWidget* parent)
    : QWidget(parent)
{
}

QColor QVRGreyHighlightTableRowView::selectionColor()
{
    return QColor(0xD9, 0xD9, 0xD9);
}

void QVRGreyHighlightTableRowView::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void QVRGreyHighlightTableRowView::paintEvent(QPaintEvent*)
{
    if (!m_selected)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), selectionColor());
}

void QVRGreyHighlightTableRowView::Delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                                   const QModelIndex& index) const
{
    QStyleOptionViewItem grey = option;
    if (grey.state & QStyle::State_Selected) {
        painter->fillRect(grey.rect, selectionColor());
        grey.state &= ~QStyle::State_Selected; // text keeps its normal colour on grey
    }
    QStyledItemDelegate::paint(painter, grey, index);
}
