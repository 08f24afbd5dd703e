#include "creator/interaction/QVR_UndoableGestureChange.h"

#include "storage/MixedMediaObjectStorage.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

void closeIfOpen(const std::weak_ptr<ZERI_FlowModel>& weakFlow, const std::weak_ptr<UndoableAction>& weakAction)
{
    const auto flow = weakFlow.lock();
    const auto action = weakAction.lock();
    if (flow && action && flow->currentUndoableAction() == action)
        flow->endUndoableChanges();
}

} // namespace

QVR_UndoableGestureChange::~QVR_UndoableGestureChange()
{
    // A change still open when its owner goes (the board closing mid-gesture) is closed, never left open.
    if (!*m_waiting)
        closeIfOpen(m_flow, m_action);
}

void QVR_UndoableGestureChange::begin(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                      const QString& actionName)
{
    m_flow.reset();
    m_action.reset();
    if (!object || !object->object())
        return;
    if (auto flow = (*object)->nearestParentItemOfClass<ZERI_FlowModel>()) {
        flow->beginUndoableChangesPagingToScreen((*object)->parentFlowScreenModel());
        m_flow = flow;
        m_action = flow->currentUndoableAction();
        if (const auto action = m_action.lock())
            action->setActionDescription(actionName);
    }
}

bool QVR_UndoableGestureChange::isOpen() const
{
    const auto flow = m_flow.lock();
    const auto action = m_action.lock();
    return flow && action && flow->currentUndoableAction() == action;
}

void QVR_UndoableGestureChange::finish(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool remakePicture,
                                       std::function<void()> done)
{
    const auto flow = m_flow;
    const auto action = m_action;
    m_flow.reset();
    m_action.reset();
    const bool onScreen = object && object->object() && (*object)->parentFlowScreenModel();
    if (remakePicture && onScreen) {
        std::weak_ptr<bool> waiting = m_waiting;
        *m_waiting = true;
        // The closure holds no handler: it closes the change even when the handler went meanwhile.
        const bool started = MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
            object, [flow, action, waiting, done](const Error&) {
                closeIfOpen(flow, action);
                if (const auto flag = waiting.lock()) {
                    *flag = false;
                    if (done)
                        done();
                }
            });
        if (started)
            return;
        *m_waiting = false;
    }
    closeIfOpen(flow, action);
    if (done)
        done();
}
