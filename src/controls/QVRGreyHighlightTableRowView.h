#pragma once

#include <QStyledItemDelegate>
#include <QWidget>

// A table row that draws its selection in grey rather than the accent colour. As a widget, for rows built of
// widgets (setSelected); and as an item delegate (QVRGreyHighlightTableRowView::Delegate) for item views.
class QVRGreyHighlightTableRowView : public QWidget {
    Q_OBJECT
public:
    explicit QVRGreyHighlightTableRowView(QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    static QColor selectionColor();

    class Delegate : public QStyledItemDelegate {
    public:
        using QStyledItemDelegate::QStyledItemDelegate;
        void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    };

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
};
