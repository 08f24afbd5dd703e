#pragma once

#include <QMenu>
#include <QPointer>
#include <QWidget>

class QLabel;

class QToolButton;

// A field-like box showing a label and a drop-down arrow; clicking either pops up its menu under the box.
// The menu is not owned.
class ComboBoxView : public QWidget {
    Q_OBJECT
public:
    explicit ComboBoxView(QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }
    QToolButton* dropDownButton() const { return m_dropDownButton; }
    // The field background behind label and button (a rounded, lightly bordered box).
    QWidget* textFieldBackgroundImageView() const { return m_background; }

    QMenu* popupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu);

    // Shows the menu below the box (non-blocking).
    void showPopupMenu();

    QSize sizeHint() const override { return QSize(160, 26); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* m_background;
    QLabel* m_label;
    QToolButton* m_dropDownButton;
    QPointer<QMenu> m_popupMenu;
};
