#include "inspector/popovers/CoalescedUndoStep.h"

#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"

CoalescedUndoStep::CoalescedUndoStep(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(kCloseDelayMs);
    connect(m_timer, &QTimer::timeout, this, &CoalescedUndoStep::close);
}

CoalescedUndoStep::~CoalescedUndoStep()
{
    close();
}

void CoalescedUndoStep::touch(const std::shared_ptr<ZERI_FlowModel>& flow,
                              const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (!flow)
        return;
    if (!m_open) {
        flow->beginUndoableChangesPagingToScreen(screen, true);
        m_flow = flow;
        m_open = true;
        m_endObservation = NotificationObservation(TessarineDataModelItem::kDidEndUndoableChangesNotification,
                                                   static_cast<const TessarineDataModelItem*>(flow.get()),
                                                   [this](const Notification&) { ended(); });
        m_cancelObservation = NotificationObservation(TessarineDataModelItem::kDidCancelUndoableChangesNotification,
                                                      static_cast<const TessarineDataModelItem*>(flow.get()),
                                                      [this](const Notification&) { ended(); });
    }
    m_timer->start();
}

void CoalescedUndoStep::close()
{
    m_timer->stop();
    if (!m_open)
        return;
    if (const auto flow = m_flow.lock())
        flow->endUndoableChanges(); // posts the end, which clears the state
    ended();
}

void CoalescedUndoStep::ended()
{
    m_endObservation.reset();
    m_cancelObservation.reset();
    m_timer->stop();
    m_open = false;
    m_flow.reset();
}
