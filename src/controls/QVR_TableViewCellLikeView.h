#pragma once

#include <QPixmap>

#include "controls/SimpleControlView.h"

class QVR_TableViewCellLikeView;

class TableViewCellLikeViewDelegate {
public:
    virtual ~TableViewCellLikeViewDelegate() = default;
    virtual void tableViewCellLikeViewClicked(QVR_TableViewCellLikeView* view) = 0;
};

// A row that looks and acts like a table cell: an icon and a title, a light highlight under the pointer and a
// darker one while pressed; the icon follows the state (normal, hover, pressed; each falls back to the normal one).
// A row given keyboard focus shows the light highlight and takes Return, Enter and Space as a click.
class QVR_TableViewCellLikeView : public SimpleControlView {
    Q_OBJECT
public:
    explicit QVR_TableViewCellLikeView(QWidget* parent = nullptr);

    QString cellTitle() const { return m_title; }
    void setCellTitle(const QString& title);
    void setIconImage(const QPixmap& image);
    void setIconImage_pressedState(const QPixmap& image);
    void setIconImage_hoverState(const QPixmap& image);
    // The icon drawn in the current state.
    QPixmap currentIcon() const;

    // Not owned.
    void setDelegate(TableViewCellLikeViewDelegate* delegate) { m_delegate = delegate; }

    QSize sizeHint() const override { return QSize(240, 44); }

protected:
    void clicked() override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QPixmap m_icon;
    QPixmap m_iconPressed;
    QPixmap m_iconHover;
    TableViewCellLikeViewDelegate* m_delegate = nullptr;
};
