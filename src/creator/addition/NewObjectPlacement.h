#pragma once

#include <memory>
#include <vector>

#include <QRectF>
#include <QSizeF>

class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// Where a new object lands on its screen once its size and first spot are known: inside the screen, and, where no
// spot was asked for, clear of what it would hide.
class NewObjectPlacement {
public:
    // The step of the cascade, down and to the right, as successive additions step.
    static constexpr double kStep = 20.0;
    // A new object may hide this much of another before it is moved on.
    static constexpr double kHiddenShareAllowed = 0.25;

    // `frame` moved (never resized) to lie inside a screen of `screenSize`; a side longer than the screen's is
    // centred on it.
    static QRectF keptInside(QRectF frame, const QSizeF& screenSize);

    // `frame` kept inside `screen`, and, with `stepClear`, moved on in steps down and to the right until it hides
    // no more than a quarter of any object of the screen (`ignoring` left out); where every step hides more, the
    // step that hides least. The frame's size never changes.
    static QRectF placedFrame(const QRectF& frame, const ZERI_FlowScreenModel& screen, bool stepClear,
                              const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& ignoring = {});

    // How much of `other` `frame` hides, as a share of `other`'s area (0 for an empty `other`).
    static double hiddenShare(const QRectF& frame, const QRectF& other);
};
