#pragma once

#include <QGraphicsItem>
#include <QGraphicsView>
#include <QPointer>

class QVR_SingleScreenArtBoardView;

// The view of an art board: shows its scene, opens the context menus (right click or Meta-click) and turns Alt +
// wheel and pinch gestures into zoom requests to the art board. Every scroll (and, through the art board, every zoom)
// posts "QVRArtboardSrollViewContentViewBoundsDidChangeNotification" with this view as sender.
class QVR_ArtBoardScrollView : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr qreal kKeyboardFocusRingWidth = 3.0;
    static const QString kContentViewBoundsDidChangeNotification;

    explicit QVR_ArtBoardScrollView(QWidget* parent = nullptr);

    QVR_SingleScreenArtBoardView* artBoard() const { return m_artBoard; }
    void setArtBoard(QVR_SingleScreenArtBoardView* artBoard) { m_artBoard = artBoard; }

    // Posts the bounds notification.
    void contentViewBoundsChanged();

protected:
    // Tab and Shift+Tab leave the canvas for the window's other controls unless an object on it (a text being
    // edited) has the keyboard.
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A left click with Meta (the key Qt reports for Control on keyboards that have Command) opens the context
    // menus as a right click does. Ctrl is the toggle modifier here, so it cannot serve.
    void mousePressEvent(QMouseEvent* event) override;
    // With nothing selected, Left and Right step through the screens as the strip does, the keyboard (and its
    // ring) going on to the canvas of the screen then shown.
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    // The background brush only where the art board's screen, which paints its whole area opaquely, leaves
    // something exposed.
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    // Reached with Tab, the canvas shows a ring inside its edges while it keeps the keyboard; a click into it
    // shows none. The ring comes back with the keyboard after a menu, a sheet or another window took it.
    void paintEvent(QPaintEvent* event) override;
    // The item that had the keyboard in the scene (a text being edited) has it again when the canvas gets it
    // back, whatever took it meanwhile (a menu opened with Alt and a letter, another window).
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPointer<QVR_SingleScreenArtBoardView> m_artBoard;
    bool m_keyboardFocusShown = false;
    bool m_ringOnReturn = false;
    QPointer<QGraphicsObject> m_focusItemBefore;
};
