#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QIcon>

class QPainter;

#include "creator/toolbar/QVR_ToolBarButtonCell.h"

// A flat icon button with a small caption under the icon (Helvetica 9, white at 60 %), used in the creator's
// title-bar toolbar and in inspector toolbars. With a caption the caption sits 6 above the bottom edge and the
// icon 6 above the caption; without one the icon is centred. Disabled, the icon is drawn at half opacity;
// pressed, the cell's tint covers the whole button. The button's own text stays empty.
class QVR_ToolbarButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit QVR_ToolbarButton(QWidget* parent = nullptr);

    // The caption; sized to its text plus 15 wide.
    void setTitle(const QString& title);
    QString title() const { return m_title; }
    // The icon, drawn at `size`.
    void setIconImage(const QIcon& icon, const QSize& size);

    QRect labelFrame() const { return m_labelFrame; }
    QRect iconFrame() const { return m_iconFrame; }
    qreal iconOpacity() const { return isEnabled() ? 1.0 : 0.5; }
    QFont labelFont() const { return m_labelFont; }
    // The caption's colour; white at 60 % unless set.
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color);
    QVR_ToolBarButtonCell& cell() { return m_cell; }

    QSize sizeHint() const override;

    // The keyboard's place on the dark toolbar, a light rounded outline inside `bounds`; shared with the
    // toolbar's other controls that take the focus.
    static void paintFocusRing(QPainter& painter, const QRectF& bounds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Return and Enter press a focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void layoutParts();

    QString m_title;
    QFont m_labelFont;
    QColor m_textColor = QColor::fromRgbF(1, 1, 1, 0.6f);
    QSize m_labelSize;
    QIcon m_icon;
    QSize m_iconSize;
    QRect m_labelFrame;
    QRect m_iconFrame;
    QVR_ToolBarButtonCell m_cell;
};
