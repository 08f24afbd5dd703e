#pragma once

#include <memory>

#include <QObject>
#include <QTimer>

#include "platform/NotificationCenter.h"

class ZERI_FlowModel;
class ZERI_FlowScreenModel;

// One undo step shared by quick successive edits (colour picks, size steps): the first edit opens a change on the
// flow that the next begin would end by itself; each edit pushes the close back to 0.5 s after it. The step also
// ends when anyone else ends the flow's change, and when this object goes.
class CoalescedUndoStep : public QObject {
    Q_OBJECT
public:
    static constexpr int kCloseDelayMs = 500;

    explicit CoalescedUndoStep(QObject* parent = nullptr);
    ~CoalescedUndoStep() override;

    // Opens the step when none is open (undo pages back to `screen`) and restarts the close timer.
    void touch(const std::shared_ptr<ZERI_FlowModel>& flow, const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    bool isOpen() const { return m_open; }
    // Ends the step now (what the timer does when it fires).
    void close();
    QTimer* closeTimer() const { return m_timer; }

private:
    void ended();

    QTimer* m_timer;
    std::weak_ptr<ZERI_FlowModel> m_flow;
    bool m_open = false;
    NotificationObservation m_endObservation;
    NotificationObservation m_cancelObservation;
};
