#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class LeapFrame;
class LeapInteractionBox;
class LeapPointable;

// The pointer overlay: a transparent child over the whole client area of the active creator or viewer window
// that shows where the frontmost finger points and how close it is to touching. It never takes mouse input.
// While over a window it follows the window's size; when the window closes it leaves the window (telling the
// handler), so a window deleted on close never deletes it.
//
// Main thread only.
class QVR_LeapHandlerView : public QWidget {
    Q_OBJECT
public:
    explicit QVR_LeapHandlerView(const QRect& frame = QRect(0, 0, 100, 100));
    ~QVR_LeapHandlerView() override;

    void setLeapFrame(const std::shared_ptr<LeapFrame>& frame);
    const std::vector<std::shared_ptr<LeapPointable>>& pointables() const { return m_pointables; }
    std::shared_ptr<LeapInteractionBox> interactionBox() const { return m_interactionBox; }

    // Lays the overlay over `window`'s client area, raised, following its size.
    void attachToWindow(QWidget* window);
    // Takes the overlay out of its window (hidden, without parent).
    void detachFromWindow();
    // Called when the window the overlay lies over closes, after the overlay has left it.
    void setClosedWindowHandler(std::function<void()> handler) { m_closedWindowHandler = std::move(handler); }

    QRectF pointableRectForPointable(const std::shared_ptr<LeapPointable>& pointable) const;
    QPointF centerForPointable(const std::shared_ptr<LeapPointable>& pointable) const;
    // Invalid colours for a pointable outside the touch zone.
    QColor createColorForPointable(const std::shared_ptr<LeapPointable>& pointable) const;
    QColor createStrokeColorForPointable(const std::shared_ptr<LeapPointable>& pointable) const;

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawPointable(const std::shared_ptr<LeapPointable>& pointable, QPainter& painter) const;

    std::vector<std::shared_ptr<LeapPointable>> m_pointables;
    std::shared_ptr<LeapInteractionBox> m_interactionBox;
    QRect m_lastDrawnRect; // where the last frame's mark lies, to be cleared by the next
    QPointer<QWidget> m_window;
    std::function<void()> m_closedWindowHandler;
};
