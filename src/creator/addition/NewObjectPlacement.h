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
    // no more than a quarter of any object of the screen (`ignoring` left out; a backdrop measured by its own
    // area); where every step hides more, the step that hides least. The frame's size never changes.
    static QRectF placedFrame(const QRectF& frame, const ZERI_FlowScreenModel& screen, bool stepClear,
                              const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& ignoring = {});

    // An object covering this much of the screen or more is a backdrop: anything new lies over it.
    static constexpr double kBackdropShareOfScreen = 0.5;

    // How much `frame` and `other` overlap, as a share of the smaller one's area (0 for an empty `other`): a new
    // text laid over a wide title hides its words though it covers little of the title's box.
    static double hiddenShare(const QRectF& frame, const QRectF& other);
    // How much of a backdrop `frame` hides, as a share of the backdrop's area.
    static double backdropHiddenShare(const QRectF& frame, const QRectF& backdrop);
};
