#pragma once

#include <functional>
#include <memory>

#include <QString>

class UndoableAction;
class ZERI_FlowModel;
class ZERI_MixedMediaObjectProxy;

// The undoable change of one resize or rotate gesture on one object. It is opened on the object's flow, paging
// back to the object's screen on undo, and closed only if it is still the flow's open change (an undo meanwhile
// already settled it).
//
// A gesture that changed the object's geometry remakes its cropped picture, which is made on a worker: the
// change then stays open until the picture is set (or dropped), so the undo step holds it, and the gesture is
// `busy` meanwhile. A gesture that changed nothing, or whose picture cannot be started, closes at once. Main
// thread only.
class QVR_UndoableGestureChange {
public:
    ~QVR_UndoableGestureChange();

    // Opens the change named `actionName`, which Edit › Undo and Redo show.
    void begin(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, const QString& actionName);
    bool isOpen() const;
    // Closes the change after remaking the object's picture when `remakePicture` is set; `done` runs once the
    // change is closed (at once, or when the picture is set).
    void finish(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool remakePicture,
                std::function<void()> done = {});
    // Whether a finished gesture still waits for its picture.
    bool isBusy() const { return *m_waiting; }

private:
    std::weak_ptr<ZERI_FlowModel> m_flow;
    std::weak_ptr<UndoableAction> m_action;
    std::shared_ptr<bool> m_waiting = std::make_shared<bool>(false);
};
