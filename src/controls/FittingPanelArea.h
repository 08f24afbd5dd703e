#pragma once

#include <QPointer>
#include <QScrollArea>

// Holds a panel of a fixed size over a larger view: centred on the area it is placed in while it fits there; where
// that area is smaller than the panel (a small window), the holder takes the area's size and scrolls the panel, so
// every part of it can be reached. The holder draws nothing of its own and never takes the keyboard focus itself;
// a control of the panel that gets the focus is scrolled into view.
class FittingPanelArea : public QScrollArea {
    Q_OBJECT
public:
    // Takes `panel` (kept at its size); the holder becomes a child of `parent`.
    FittingPanelArea(QWidget* panel, QWidget* parent);

    QWidget* panel() const { return m_panel; }
    // Gives the panel back, to a parent of the caller's (none: no parent), and leaves the holder empty.
    QWidget* releasePanel(QWidget* newParent = nullptr);
    // The holder's place within `area` (in its parent's coordinates): the panel's own size, aligned there as
    // `alignment` says (centred by default), bounded to the area.
    void placeWithin(const QRect& area, Qt::Alignment alignment = Qt::AlignCenter);
    // From now on placed within its parent's rectangle less `margins` whenever the parent changes size.
    void followParent(const QMargins& margins, Qt::Alignment alignment = Qt::AlignCenter);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepFocusVisible(QWidget* now);

    QPointer<QWidget> m_panel;
    bool m_followsParent = false;
    QMargins m_margins;
    Qt::Alignment m_alignment = Qt::AlignCenter;
};
