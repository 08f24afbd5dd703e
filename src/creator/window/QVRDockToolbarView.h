#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// A bar that holds docked views side by side, each at its own width and the bar's full height: views of
// alignment 1 from the left edge, views of alignment 2 from the right edge, in the order they were docked; a view
// of any other alignment is held where it was put, untouched by the bar's layout. A view's alignment is kept on
// the view itself. Views hidden take no room. A faint white line runs along the top.
class QVRDockToolbarView : public QWidget {
    Q_OBJECT
public:
    enum Alignment { AlignLeft = 1, AlignRight = 2 };

    explicit QVRDockToolbarView(QWidget* parent = nullptr);

    // Adds `view` as a child of the bar (docking it twice does nothing).
    void dockToolbarView(QWidget* view);
    // Takes `view` out of the bar: it is no longer the bar's child, and the caller owns it.
    void undockToolbarView(QWidget* view);
    // Takes every docked view out of the bar and hands them, in docking order, to the caller, who owns them.
    QList<QWidget*> undockAllToolbarViews();
    QList<QWidget*> dockedViews() const;

    static void setDockToolbarAlignment(QWidget* view, int alignment);
    static int dockToolbarAlignment(const QWidget* view);

    // Places the docked views for the bar's current size.
    void layoutDockedViews();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Also drawn by subclasses that paint over the bar.
    void drawTopLine(QPainter& painter);

private:
    QList<QPointer<QWidget>> m_docked;
};
