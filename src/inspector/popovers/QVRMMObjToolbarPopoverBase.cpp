#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

#include <QApplication>

#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/images/UNIImage.h"
#include "foundation/Tessutils.h"
#include "inspector/pickers/PopoverToolbarButton.h"
#include "inspector/popovers/QVRAudioMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRImageMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRShapeMMObjToolbarPopoverController.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {
QVRMMObjToolbarPopoverBase::LinkEditorOpener& linkEditorOpener()
{
    static QVRMMObjToolbarPopoverBase::LinkEditorOpener opener;
    return opener;
}

void setButtonEnabled(QWidget* button, bool enabled)
{
    // A disabled toolbar button draws its icon at half opacity.
    if (button)
        button->setEnabled(enabled);
}
} // namespace

QVRMMObjToolbarPopoverBase::QVRMMObjToolbarPopoverBase(bool docked)
    : QVRToolbarPopoverController(docked)
{
}

QVRMMObjToolbarPopoverBase::~QVRMMObjToolbarPopoverBase() = default;

QVRMMObjToolbarPopoverBase::LinkEditorKind
QVRMMObjToolbarPopoverBase::linkEditorKindForAction(const std::shared_ptr<ZERI_MMAction>& action)
{
    if (!action)
        return LinkEditorKind::Chooser;
    if (auto web = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>(action)) {
        const QString text = web->weblinkText();
        if (text.contains(Tessutils::flowLinkEmbedScheme(), Qt::CaseInsensitive))
            return LinkEditorKind::FlowEmbed;
        if (text.contains(QLatin1Char('@')))
            return LinkEditorKind::EmailLink;
        return LinkEditorKind::WebLink;
    }
    if (std::dynamic_pointer_cast<ZERI_MMAction_ScreenLink>(action))
        return LinkEditorKind::ScreenLink;
    return LinkEditorKind::None;
}

void QVRMMObjToolbarPopoverBase::setLinkEditorOpener(LinkEditorOpener opener)
{
    linkEditorOpener() = std::move(opener);
}

std::unique_ptr<QVRMMObjToolbarPopoverBase>
QVRMMObjToolbarPopoverBase::controllerForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool docked)
{
    if (!object || !object->object())
        return nullptr;
    std::unique_ptr<QVRMMObjToolbarPopoverBase> controller;
    switch (object->type()) {
    case ZERI_MixedMediaObject::Text:
        controller = std::make_unique<QVRTextMMObjToolbarPopoverController>(docked);
        break;
    case ZERI_MixedMediaObject::Shape:
        controller = std::make_unique<QVRShapeMMObjToolbarPopoverController>(docked);
        break;
    case ZERI_MixedMediaObject::Gallery:
        controller = std::make_unique<QVRGalleryMMObjToolbarPopoverController>(docked);
        break;
    case ZERI_MixedMediaObject::Audio:
        controller = std::make_unique<QVRAudioMMObjToolbarPopoverController>(docked);
        break;
    default: {
        auto image = std::make_unique<QVRImageMMObjToolbarPopoverController>(docked);
        image->setAllowsLinks(object->type() == ZERI_MixedMediaObject::Image);
        controller = std::move(image);
        break;
    }
    }
    controller->setMmobj(object);
    return controller;
}

void QVRMMObjToolbarPopoverBase::setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    m_frameObserver.reset();
    m_orderObserver.reset();
    m_object = object;
    if (const auto screen = objectScreen()) {
        QPointer<QVRMMObjToolbarPopoverBase> self(this);
        m_orderObserver = screen->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>&) {
                if (self)
                    self->updateHierarchyButtonsToMatchObjectPosition();
            },
            QStringLiteral("mixedMediaObjects"));
    }
    if (object) {
        QPointer<QVRMMObjToolbarPopoverBase> self(this);
        m_frameObserver = object->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>&) {
                if (!self)
                    return;
                self->updateHierarchyButtonsToMatchObjectPosition();
                // Moved by an undo, grown by a larger type, shrunk by a change: the popover goes with it.
                self->followViewBeingDisplayedOn();
            },
            QStringLiteral("frame"));
    }
    updateHierarchyButtonsToMatchObjectPosition();
}

std::shared_ptr<ZERI_FlowScreenModel> QVRMMObjToolbarPopoverBase::objectScreen() const
{
    const auto object = mmobj();
    return object && object->object() ? (*object)->parentFlowScreenModel() : nullptr;
}

std::shared_ptr<ZERI_FlowModel> QVRMMObjToolbarPopoverBase::objectFlow() const
{
    const auto screen = objectScreen();
    return screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
}

QString QVRMMObjToolbarPopoverBase::getCurrentThemeID() const
{
    const auto flow = objectFlow();
    return flow ? flow->themeID() : QString();
}

QPixmap QVRMMObjToolbarPopoverBase::iconNamed(const QString& name)
{
    const UNIImage image = UNIImage::imageNamed(name);
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image.CGImage());
    if (image.size().width() > 0)
        pixmap.setDevicePixelRatio(double(image.realSize().width()) / image.size().width());
    return pixmap;
}

QVR_ToolbarButton* QVRMMObjToolbarPopoverBase::toolBarButtonWithImageNamed(const QString& name, const QString& text)
{
    return PopoverToolbarButton::make(iconNamed(name), text);
}

QWidget* QVRMMObjToolbarPopoverBase::dividerView()
{
    auto* divider = new QWidget;
    divider->setFixedSize(1, 20);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255, 51));
    divider->setPalette(palette);
    return divider;
}

QWidget* QVRMMObjToolbarPopoverBase::spacerView(int width)
{
    auto* spacer = new QWidget;
    spacer->setFixedSize(width, 1);
    return spacer;
}

void QVRMMObjToolbarPopoverBase::setupMMObjDefaultToolbarViews()
{
    const bool docked = isDocked();
    const QPixmap dockIcon = iconNamed(docked ? QStringLiteral("docked_redock_icon") : QStringLiteral("redock_icon"));
    auto* dock = new QVR_ToolbarButton;
    dock->setIconImage(QIcon(dockIcon), dockIcon.deviceIndependentSize().toSize());
    dock->setFixedSize(dockIcon.deviceIndependentSize().toSize().expandedTo(QSize(1, 1)));
    dock->setToolTip(docked ? UFM::DOCK_POPOVER_TOOL_TIP_DOCKED() : UFM::DOCK_POPOVER_TOOL_TIP());
    setTag(dock, DockTag);
    connect(dock, &QAbstractButton::clicked, this, &QVRMMObjToolbarPopoverBase::dockPopoverPressed);

    auto* link =
        toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_popup_link_btn") : QStringLiteral("popup_link_btn"),
                                    docked ? QString() : UFM::SET_LINK_TEXT());
    link->setToolTip(UFM::SET_LINK_TEXT());
    setTag(link, LinkTag);
    connect(link, &QAbstractButton::clicked, this, &QVRMMObjToolbarPopoverBase::linkButtonPressed);

    auto* forward = toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_popup_muv-up_btn")
                                                       : QStringLiteral("popup_muv-up_btn"),
                                                docked ? QString() : UFM::FORWARD_TEXT());
    forward->setToolTip(UFM::FORWARD_TEXT());
    setTag(forward, ForwardTag);
    connect(forward, &QAbstractButton::clicked, this, &QVRMMObjToolbarPopoverBase::moveForward);

    auto* back = toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_popup_moov-don_btn")
                                                    : QStringLiteral("popup_moov-don_btn"),
                                             docked ? QString() : UFM::BACKWARD_TEXT());
    back->setToolTip(UFM::BACKWARD_TEXT());
    setTag(back, BackTag);
    connect(back, &QAbstractButton::clicked, this, &QVRMMObjToolbarPopoverBase::moveBack);

    m_dockButton = dock;
    m_linkButton = link;
    m_forwardButton = forward;
    m_backButton = back;
    setToolbarViews(placedForDock({dock, link, forward, back}));
    updateHierarchyButtonsToMatchObjectPosition();
}

QList<QWidget*> QVRMMObjToolbarPopoverBase::placedForDock(QList<QWidget*> row) const
{
    if (isDocked() && !row.isEmpty() && tagOf(row.front()) == DockTag)
        row.append(row.takeFirst());
    return row;
}

void QVRMMObjToolbarPopoverBase::updateHierarchyButtonsToMatchObjectPosition()
{
    const auto object = mmobj();
    const auto screen = objectScreen();
    setButtonEnabled(m_forwardButton, screen && screen->mixedMediaObjectCanMoveForward(object));
    setButtonEnabled(m_backButton, screen && screen->mixedMediaObjectCanMoveBackward(object));
}

void QVRMMObjToolbarPopoverBase::showPopoverOverView(QGraphicsObject* view)
{
    if (Tessutils::isPopoverDocked())
        return;
    setupMMObjDefaultToolbarViews();
    updateHierarchyButtonsToMatchObjectPosition();
    QVRToolbarPopoverController::showPopoverOverView(view);
}

void QVRMMObjToolbarPopoverBase::dismissPopover(bool animated)
{
    QVRToolbarPopoverController::dismissPopover(animated);
}

void QVRMMObjToolbarPopoverBase::setPopoverHidden(bool hidden)
{
    QVRToolbarPopoverController::setPopoverHidden(hidden);
}

void QVRMMObjToolbarPopoverBase::dockPopoverPressed()
{
    if (isDocked())
        undockPopover();
    else
        dockPopover();
}

void QVRMMObjToolbarPopoverBase::linkButtonPressed()
{
    const auto object = mmobj();
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindow());
    if (!object || !object->object() || !window)
        return;
    const LinkEditorKind kind = linkEditorKindForAction((*object)->action());
    if (kind != LinkEditorKind::None && linkEditorOpener())
        linkEditorOpener()(window, kind);
}

void QVRMMObjToolbarPopoverBase::moveForward()
{
    const auto object = mmobj();
    const auto screen = objectScreen();
    const auto flow = objectFlow();
    if (flow && screen->mixedMediaObjectCanMoveForward(object)) {
        flow->beginUndoableChangesPagingToScreen(screen);
        if (const auto action = flow->currentUndoableAction())
            action->setActionDescription(UFM::BRING_FORWARD_TEXT());
        screen->placeObjectAboveNextObjectInFrontOfIt(object);
        flow->endUndoableChanges();
    }
    updateHierarchyButtonsToMatchObjectPosition();
}

void QVRMMObjToolbarPopoverBase::moveBack()
{
    const auto object = mmobj();
    const auto screen = objectScreen();
    const auto flow = objectFlow();
    if (flow && screen->mixedMediaObjectCanMoveBackward(object)) {
        flow->beginUndoableChangesPagingToScreen(screen);
        if (const auto action = flow->currentUndoableAction())
            action->setActionDescription(UFM::SEND_BACKWARD_TEXT());
        screen->placeObjectBelowNextObjectBehindIt(object);
        flow->endUndoableChanges();
    }
    updateHierarchyButtonsToMatchObjectPosition();
}
