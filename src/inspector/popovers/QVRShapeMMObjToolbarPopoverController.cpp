#include "inspector/popovers/QVRShapeMMObjToolbarPopoverController.h"

#include "creator/TessarineThemeCatalogue.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/CoalescedUndoStep.h"
#include "inspector/popovers/PopoverColorPickerButton.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVRShapeMMObjToolbarPopoverController::QVRShapeMMObjToolbarPopoverController(bool docked)
    : QVRMMObjToolbarPopoverBase(docked)
    , m_step(new CoalescedUndoStep(this))
{
}

QVRShapeMMObjToolbarPopoverController::~QVRShapeMMObjToolbarPopoverController()
{
    m_step->close();
}

void QVRShapeMMObjToolbarPopoverController::setupMMObjDefaultToolbarViews()
{
    QVRMMObjToolbarPopoverBase::setupMMObjDefaultToolbarViews();
    if (!m_dockButton || !m_linkButton || !m_forwardButton || !m_backButton)
        return;
    const auto object = mmobj();
    const auto shape = object ? object->as<ZERI_MMObject_Shape>() : nullptr;
    auto* picker = new QVRColorPicker;
    picker->setColor(shape ? shape->color() : QColor());
    // The theme's colours only: a theme without colours offers none.
    picker->setColorList(TessarineThemeCatalogue::shared().themeColors(getCurrentThemeID()));
    picker->setShowsAlpha(true);
    QPointer<QVRShapeMMObjToolbarPopoverController> self(this);
    picker->onColorPicked = [self](const QColor& color) {
        if (self)
            self->colorPicked(color);
    };
    m_colorPicker = picker;
    QWidget* button = PopoverColorPickerButton::make(picker);
    setToolbarViews(placedForDock(
        {m_dockButton, spacerView(2), button, dividerView(), m_linkButton, m_forwardButton, m_backButton}));
}

void QVRShapeMMObjToolbarPopoverController::setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    m_colorObserver.reset();
    QVRMMObjToolbarPopoverBase::setMmobj(object);
    if (!object)
        return;
    // Undo and other editors keep the swatch true.
    QPointer<QVRShapeMMObjToolbarPopoverController> self(this);
    m_colorObserver = object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (!self || !self->m_colorPicker)
                return;
            const auto current = self->mmobj();
            if (const auto shape = current ? current->as<ZERI_MMObject_Shape>() : nullptr)
                self->m_colorPicker->setColor(shape->color());
        },
        QStringLiteral("color"));
}

void QVRShapeMMObjToolbarPopoverController::dismissPopover(bool animated)
{
    m_step->close();
    QVRMMObjToolbarPopoverBase::dismissPopover(animated);
}

void QVRShapeMMObjToolbarPopoverController::colorPicked(const QColor& color)
{
    const auto object = mmobj();
    const auto shape = object ? object->as<ZERI_MMObject_Shape>() : nullptr;
    const auto flow = objectFlow();
    if (!shape || !flow || !color.isValid() || color.toRgb() == shape->color().toRgb())
        return;
    m_step->touch(flow, objectScreen());
    shape->setColor(color.toRgb());
}

void QVRShapeMMObjToolbarPopoverController::endUndoableChangesForColorPicking()
{
    m_step->close();
}

bool QVRShapeMMObjToolbarPopoverController::isPickingColor() const
{
    return m_step->isOpen();
}
