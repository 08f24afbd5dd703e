#pragma once

#include <functional>

#include <QColor>
#include <QMap>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Class-level helpers shared by every subsystem. Blocks always run on the main thread; the view helpers
// live with the shared controls.
class Utils {
public:
    // Runs the block once on the main thread after `seconds` (at the next turn of the event loop for 0).
    static void performBlock(std::function<void()> block, double seconds);

    // With `waitUntilDone`, runs at once on the main thread and otherwise blocks the calling thread until
    // the main thread has run it; never wait from a thread the main thread itself waits on. Without it,
    // queues the block on the main thread and returns.
    static void runBlockOnMainThread(std::function<void()> block, bool waitUntilDone);

    // A uniformly random integer in [low, high). Equal or inverted bounds give `low`.
    static quint32 randomBetween(quint32 low, quint32 high);

    // floor(value × factor) / factor; a factor below 1 leaves the value unchanged.
    static float roundDownF(float value, int factor);

    // An opaque colour from 0xRRGGBB (higher bits are ignored).
    static QColor colorFromHex(quint32 rgb);
    static QColor randomColor();

    // (x, parentHeight − (y + height), width, height): flips a rectangle between top-left and bottom-left
    // origin; applying it twice gives the rectangle back.
    static QRectF convertRectConvertedFromIOSSpacedCGRect(const QRectF& rect, const QSizeF& parentViewSize);

    // "a=1&b=%20x" -> {a: "1", b: " x"}: pieces of exactly one "=" are kept, key and value are
    // percent-decoded as UTF-8, and a later key replaces an earlier one. Any text is accepted.
    static QMap<QString, QString> dictionaryFromURLQueryString(const QString& query);

    static QString appName();
    static QString appVersionBundleString();

    // True when the primary screen has a device pixel ratio above 1; false without a screen.
    static bool isRetina();
};
