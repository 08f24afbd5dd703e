#pragma once

#include <QPointer>

#include "creator/window/QVRDockToolbarView.h"

// The strip along the top of a creator window's content holding the position palette (right) and the docked
// object popover (left, 710 wide). It is 30 high while either shows and 0 when neither does, following the
// panels' own showing and hiding. Its gradient is darker while its window is the active one.
class QVRTopOfWindowDockToolbarView : public QVRDockToolbarView {
    Q_OBJECT
public:
    static constexpr int kShownHeight = 30;
    static constexpr int kDockedPopoverWidth = 710;

    // Docks both panels: the palette hidden, the popover shown only when popovers are docked.
    QVRTopOfWindowDockToolbarView(QWidget* xyPalette, QWidget* dockedPopoverView, QWidget* parent = nullptr);

    QWidget* xyPalette() const { return m_xyPalette; }
    QWidget* dockedPopoverView() const { return m_dockedPopover; }

    // Hidden exactly when every docked view is (also when there is none).
    void hideOrShowIfNeeded();
    void setVisible(bool visible) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    // The width the shown panels take side by side; the strip must be as wide for none to lie over another.
    int widthNeeded() const;

signals:
    // A panel showed or went.
    void panelsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void watch(QWidget* panel);

    QPointer<QWidget> m_xyPalette;
    QPointer<QWidget> m_dockedPopover;
};
