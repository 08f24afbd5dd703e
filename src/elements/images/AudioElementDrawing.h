#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The one drawing of an audio object's panel: the dark rounded panel, the white icon in its middle (loudspeaker,
// play or pause) and the progress ring along its edge. The audio element view's items, the progress ring control
// and the model's drawing of an audio object all draw through it, so they give the same pixels.
//
// Rectangles are in the painter's y-down coordinates. The icons are drawn as into a view of their own whose
// rectangle starts at (0, 0): the play triangle's left corners sit at the absolute coordinate 2. Every function
// leaves the painter's state as it found it. Stateless; safe on any thread with a painter of that thread.
class AudioElementDrawing {
public:
    enum IconType : unsigned { SoundIcon = 0, PlayIcon = 1, PauseIcon = 2 };

    // Corner radius of the panel, and the ring's inset from the panel's edge on every side.
    static constexpr double kPanelCornerRadius = 9.0;
    static constexpr double kRingInset = 8.0;
    // The icon's share of the panel's width and height (it is centred).
    static constexpr double kIconShare = 0.4;

    struct Ring {
        double progress = 0.0; // clamped to 0..1 when drawn
        double trackWidth = 2.0;
        QColor tintColor = QColor(40, 120, 183);
        double startAngle = 90.0;       // degrees, counter-clockwise from 3 o'clock as seen on screen
        double endAngle = 90.0 - 360.0; // so the arc grows clockwise from 12 o'clock
    };

    // Black at alpha 0.75, corner radii 9.
    static void drawPanel(QPainter* painter, const QRectF& rect);

    // 1.0 up to 100 points (the larger side), 2.0 up to 150, 3.0 above.
    static double suggestedLineWidthForRect(const QRectF& rect);

    // White; `type` other than the three icons draws nothing.
    static void drawIcon(QPainter* painter, const QRectF& rect, unsigned type);
    static void drawPlayIconInRect(QPainter* painter, const QRectF& rect);
    static void drawPauseIconInRect(QPainter* painter, const QRectF& rect);
    static void drawSoundIconInRect(QPainter* painter, const QRectF& rect);

    // A white full circle (the track) and over it the tinted arc with round caps, both `trackWidth` wide,
    // centred in `rect` with radius min(half width, half height) − trackWidth. Nothing when that radius is not
    // positive.
    static void drawRing(QPainter* painter, const QRectF& rect, const Ring& ring);

    // Where the panel's icon and ring go for a panel at `panel`.
    static QRectF iconRectForPanel(const QRectF& panel);
    static QRectF ringRectForPanel(const QRectF& panel);

    // The whole panel at rest: panel, loudspeaker, empty ring.
    static void drawAtRest(QPainter* painter, const QRectF& panel);
};
