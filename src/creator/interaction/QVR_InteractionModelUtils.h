#pragma once

#include <QCursor>
#include <QRectF>
#include <Qt>

class QGraphicsItem;
class QVR_Interactable;

// Shared helpers of the editing interaction: the click-detection delay, cursors, handle geometry and modifier
// tests. Handle positions: 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left; 4 left, 5 right, 6 top,
// 7 bottom (y down). Main thread only.
class QVR_InteractionModelUtils {
public:
    static const QString kClickDetectionTimeDelayKey; // "UserSpecifiedClickDetectionTimeDelay"

    // Seconds between a press and the moment a held press becomes a drag: the user default, 1.0 when absent or
    // not positive. Cached after the first read; setClickDetectionTimeDelay stores and caches.
    static double clickDetectionTimeDelay();
    static void setClickDetectionTimeDelay(double seconds);
    // Drops the cache so the next call reads the user default again.
    static void resetClickDetectionTimeDelayCache();

    static QCursor standardCursor() { return QCursor(Qt::ArrowCursor); }
    static QCursor translateCursor() { return QCursor(Qt::ClosedHandCursor); }
    // The name of the cursor picture for a resize handle.
    static QString resizeCursorNameForPosition(int position);
    static QCursor resizeCursorForPosition(int position);
    // Quarter turns of the rotate cursor picture for a rotate handle (corners 0–3).
    static int rotateCursorQuarterTurns(int position);
    static QCursor rotateCursor(int position);

    static int oppositeCursorPosition(int position);
    static QPointF pointOnFrame(const QRectF& rect, int position);

    // Overlays the mouse looks through (hover outline, rubber band, guide lines, the selection frame's
    // interior) carry this mark; the hit test skips them.
    static void setMouseTransparent(QGraphicsItem* item);
    static bool isMouseTransparent(const QGraphicsItem* item);

    static QVR_Interactable* interactable(QGraphicsItem* item);
    static bool isHoverable(QGraphicsItem* item);
    static bool isSelectable(QGraphicsItem* item);
    static bool isTranslatable(QGraphicsItem* item);

    static bool hasShift(Qt::KeyboardModifiers modifiers) { return modifiers.testFlag(Qt::ShiftModifier); }
    // The Command key of the platform's conventions is Ctrl.
    static bool hasCommand(Qt::KeyboardModifiers modifiers) { return modifiers.testFlag(Qt::ControlModifier); }
    static bool hasShiftOrCommand(Qt::KeyboardModifiers modifiers)
    {
        return hasShift(modifiers) || hasCommand(modifiers);
    }
};
