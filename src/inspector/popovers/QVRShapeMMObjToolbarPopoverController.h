#pragma once

#include <QPointer>

#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

class CoalescedUndoStep;

// The popover of a shape: a colour picker whose quick successive picks make one undo step, then link and
// stacking order.
class QVRShapeMMObjToolbarPopoverController : public QVRMMObjToolbarPopoverBase {
    Q_OBJECT
public:
    explicit QVRShapeMMObjToolbarPopoverController(bool docked);
    ~QVRShapeMMObjToolbarPopoverController() override;

    void setupMMObjDefaultToolbarViews() override;
    void setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) override;
    void dismissPopover(bool animated) override;

    // Recolours the shape; the current colour changes nothing.
    void colorPicked(const QColor& color);
    void endUndoableChangesForColorPicking();
    bool isPickingColor() const;
    QVRColorPicker* colorPicker() const { return m_colorPicker; }
    CoalescedUndoStep* colorStep() const { return m_step; }

private:
    QPointer<QVRColorPicker> m_colorPicker;
    CoalescedUndoStep* m_step;
    ObjectUpdateNotifierObserver m_colorObserver;
};
