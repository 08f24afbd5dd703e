#include "creator/thumbnails/QVRThumbnailObject.h"

#include <QMenu>

#include "app/QVRAnalytics.h"
#include "creator/CreatorLogging.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

QVRThumbnailObject::QVRThumbnailObject(TessarineBackgroundedScreenPreview* preview, QObject* parent)
    : QObject(parent)
    , m_preview(preview)
{
}

QVRThumbnailObject::QVRThumbnailObject(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       std::shared_ptr<const PreviewMaker> maker, QObject* parent)
    : QObject(parent)
    , m_screen(screen)
    , m_maker(std::move(maker))
{
}

QVRThumbnailObject::~QVRThumbnailObject()
{
    delete m_preview.data();
}

std::shared_ptr<ZERI_FlowScreenModel> QVRThumbnailObject::screenModel() const
{
    if (m_preview)
        return m_preview->screenModel();
    return m_maker ? m_screen.lock() : nullptr;
}

TessarineBackgroundedScreenPreview* QVRThumbnailObject::makePreview()
{
    if (m_preview || !m_maker || !*m_maker)
        return m_preview;
    const auto screen = m_screen.lock();
    if (!screen)
        return nullptr;
    m_preview = (*m_maker)(screen);
    if (m_preview && m_rightClicks)
        connectRightClicks();
    return m_preview;
}

TessarineBackgroundedScreenPreview* QVRThumbnailObject::previewForHosting()
{
    return makePreview();
}

void QVRThumbnailObject::reclaimPreview()
{
    if (!m_preview)
        return;
    m_preview->hide();
    m_preview->setParent(nullptr);
    letPreviewGoIfUnneeded();
}

void QVRThumbnailObject::setCurrent(bool current)
{
    if (m_current == current)
        return;
    m_current = current;
    if (current)
        makePreview();
    else
        letPreviewGoIfUnneeded();
}

void QVRThumbnailObject::letPreviewGoIfUnneeded()
{
    if (!m_maker || !m_preview || m_current || m_preview->parentWidget())
        return;
    // Changes made to the screen in the last moments would have asked for its previews shortly: they are asked for
    // now, as no view is left to ask.
    TessarineBackgroundedScreenPreview* preview = m_preview.data();
    m_preview = nullptr;
    preview->requestPendingPreviews();
    delete preview;
}

void QVRThumbnailObject::enableRightClicks(std::function<bool()> allowed,
                                           std::function<void(const std::shared_ptr<ZERI_FlowScreenModel>&)> duplicated)
{
    m_menuAllowed = std::move(allowed);
    m_duplicated = std::move(duplicated);
    m_rightClicks = true;
    if (m_preview)
        connectRightClicks();
}

void QVRThumbnailObject::connectRightClicks()
{
    m_preview->setContextMenuPolicy(Qt::CustomContextMenu);
    disconnect(m_preview, &QWidget::customContextMenuRequested, this, nullptr);
    connect(m_preview, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu* menu = makeContextMenu();
        if (!menu)
            return;
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_preview->mapToGlobal(position));
    });
}

QMenu* QVRThumbnailObject::makeContextMenu()
{
    if (m_menuAllowed && !m_menuAllowed())
        return nullptr;
    auto* menu = new QMenu;
    // Queued: the screen and this object may go with the window's rebuild while the menu is still closing.
    QAction* remove = menu->addAction(UFM::DELETE_TEXT());
    connect(remove, &QAction::triggered, this, &QVRThumbnailObject::deleteScreen, Qt::QueuedConnection);
    QAction* duplicate = menu->addAction(UFM::DUPLICATE_TEXT());
    connect(duplicate, &QAction::triggered, this, &QVRThumbnailObject::duplicateScreen, Qt::QueuedConnection);
    return menu;
}

void QVRThumbnailObject::deleteScreen()
{
    const auto screen = screenModel();
    if (!screen)
        return;
    QVRAnalytics::logEvent(QStringLiteral("Deleted Screen"),
                           {{QStringLiteral("ScreenID"), screen->internalID()},
                            {QStringLiteral("Deleted From"), QStringLiteral("Thumbnail Bar")}},
                           screen->tessarineModel());
    const auto flow = std::dynamic_pointer_cast<ZERI_FlowModel>(screen->parent());
    if (!flow) {
        qCWarning(lcCreator) << "cannot delete the screen" << screen->internalID() << ": it belongs to no flow";
        return;
    }
    flow->beginUndoableChanges();
    flow->removeFlowScreen(screen);
    flow->endUndoableChanges();
}

void QVRThumbnailObject::duplicateScreen()
{
    const auto screen = screenModel();
    if (!screen)
        return;
    const auto duplicated = m_duplicated; // the flow's rebuild may take this object with it
    const auto copy = duplicateInItsFlow(screen);
    if (!copy)
        return;
    QVRAnalytics::logEvent(QStringLiteral("Duplicated Screen"),
                           {{QStringLiteral("ScreenID"), screen->internalID()},
                            {QStringLiteral("action_value"), QStringLiteral("Thumbnail Bar")}},
                           screen->tessarineModel());
    if (duplicated)
        duplicated(copy);
}

std::shared_ptr<ZERI_FlowScreenModel>
QVRThumbnailObject::duplicateInItsFlow(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    const auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow) {
        qCWarning(lcCreator) << "cannot duplicate a screen that belongs to no flow";
        return nullptr;
    }
    flow->beginUndoableChanges();
    const auto copy = flow->duplicateFlowScreen(screen);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    return copy;
}
