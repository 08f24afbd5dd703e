#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;

// The frame around one item of a thumbnail bar: the hosted view (a screen's preview or the add-screen image) on
// top, the screen's number below it and a 1-pixel separator on the right edge. While selected it draws the
// stretchable selection artwork behind everything, hides the separator and shows the number in white.
class QVR_ThumbnailHoldingView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMargin = 4;
    static constexpr int kLabelHeight = 18;

    explicit QVR_ThumbnailHoldingView(const QRect& frame, QWidget* parent = nullptr);

    // The host of the preview; what is added fills it.
    QWidget* autolayoutedView() const { return m_autolayoutedView; }
    QLabel* screenNumberLabel() const { return m_screenNumberLabel; }
    QWidget* backgroundView() { return this; }
    QWidget* separatorHolder() const { return m_separatorHolder; }

    // Puts `view` into the host, pinned to its four edges.
    void hostView(QWidget* view);

    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    void setSeparatorColor(const QColor& color);
    QColor separatorColor() const { return m_separatorColor; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    QWidget* m_autolayoutedView = nullptr;
    QLabel* m_screenNumberLabel = nullptr;
    QWidget* m_separatorHolder = nullptr;
    QColor m_separatorColor = Qt::transparent;
    QPixmap m_selectedStretchableImage;
    bool m_selected = false;
};
