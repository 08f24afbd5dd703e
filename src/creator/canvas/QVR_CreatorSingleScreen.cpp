#include "creator/canvas/QVR_CreatorSingleScreen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

#include <QGraphicsScene>
#include <QDialog>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QMimeData>
#include <QGraphicsView>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/CreatorLogging.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "platform/NotificationCenter.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {
constexpr double kScreenWidth = 1024.0;
constexpr double kScreenHeight = 748.0;
constexpr double kShadowRadius = 2.0;
constexpr int kShadowLayers = 4;
const QColor kSurroundColor = QColor::fromRgbF(0.91f, 0.91f, 0.91f);
const QColor kShadowLayerColor = QColor::fromRgbF(0, 0, 0, 0.9f / kShadowLayers);

// Opens one undoable change on the screen's flow that pages back to the screen on undo; nullptr without a flow.
std::shared_ptr<ZERI_FlowModel> beginScreenChange(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow)
        return nullptr;
    flow->beginUndoableChangesPagingToScreen(screen);
    return flow;
}

QWidget* hostWindowOf(const QGraphicsItem* item)
{
    if (!item->scene() || item->scene()->views().isEmpty())
        return nullptr;
    return item->scene()->views().front()->window();
}
} // namespace

// The dimming outside the screen, above every element container.
class QVR_CreatorSingleScreen::Mask : public QGraphicsItem {
public:
    explicit Mask(QVR_CreatorSingleScreen* owner)
        : QGraphicsItem(owner)
        , m_owner(owner)
    {
        setZValue(kMaskZValue);
        setAcceptedMouseButtons(Qt::NoButton);
        setAcceptHoverEvents(false);
    }
    QRectF boundingRect() const override { return m_owner->boundingRect(); }
    QPainterPath shape() const override { return QPainterPath(); } // never hit: clicks reach what lies below
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->fillPath(m_owner->maskPath(), m_owner->maskColor());
    }
    void areaChanged() { prepareGeometryChange(); }

private:
    QVR_CreatorSingleScreen* m_owner;
};

QVR_CreatorSingleScreen::QVR_CreatorSingleScreen(std::shared_ptr<ZERI_FlowScreenModel> screen, bool previewMode,
                                                 QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_previewOnly(previewMode)
    , m_visibleArea(screenRect())
{
    setFlag(ItemUsesExtendedStyleOption, false);
    setAcceptedMouseButtons(Qt::NoButton);
    m_mask = new Mask(this);
    setAcceptDrops(!previewMode);
    setFlowScreenModel(std::move(screen));
}

QVR_CreatorSingleScreen::~QVR_CreatorSingleScreen() = default;

void QVR_CreatorSingleScreen::addInsertMenuItemsToMenu(QMenu* menu, const std::function<void(int kind)>& chosen)
{
    if (!menu)
        return;
    const auto connectKind = [menu, chosen](QAction* action, int kind) {
        QObject::connect(action, &QAction::triggered, menu, [chosen, kind] {
            if (chosen)
                chosen(kind);
        });
    };
    // The header opens the add-element menu at the clicked point.
    QAction* header = menu->addAction(QStringLiteral("%1...").arg(UFM::SAYS_INSERT()));
    QFont bold(QStringLiteral("Helvetica"), 14);
    bold.setBold(true);
    header->setFont(bold);
    connectKind(header, kGenericInsertKind);
    const std::pair<QString, int> entries[] = {{UFM::CONTENT_TYPE_LIST_TEXT(), kTextInsertKind},
                                               {UFM::CONTENT_TYPE_LIST_IMAGE(), 2},
                                               {UFM::CONTENT_TYPE_LIST_GALLERY(), 3},
                                               {UFM::CONTENT_TYPE_LIST_VIDEO(), 1},
                                               {QStringLiteral("YouTube / Vimeo"), 8},
                                               {UFM::CONTENT_TYPE_LIST_AUDIO(), 9},
                                               {UFM::CONTENT_TYPE_LIST_PDF(), 6},
                                               {UFM::CONTENT_TYPE_LIST_SHAPE(), 7}};
    for (const auto& [title, kind] : entries) {
        // Indented under the header, as a level-one entry.
        QAction* entry = menu->addAction(QStringLiteral("    ") + title);
        entry->setData(kind);
        connectKind(entry, kind);
    }
}

QMenu* QVR_CreatorSingleScreen::rightClickEditingMenu()
{
    if (m_previewOnly)
        return nullptr;
    if (m_menu)
        return m_menu.get();
    m_menu = std::make_unique<QMenu>(QStringLiteral("Screen Menu"));
    QMenu* menu = m_menu.get();
    QPointer<QVR_CreatorSingleScreen> self(this);
    addInsertMenuItemsToMenu(menu, [self](int kind) {
        if (self)
            self->insertMenuItemChosen(kind);
    });
    menu->addSeparator();
    m_pasteAction = menu->addAction(UFM::SAYS_PASTE());
    QObject::connect(m_pasteAction, &QAction::triggered, menu, [self] {
        if (self)
            self->screenPaste();
    });
    menu->addSeparator();
    QMenu* zoom = QVR_ZoomMenuGeneratorObject::zoomMenuWithSupportedZoomLevels(menu, [self](QAction* item) {
        if (self && item)
            self->zoomMenuItemChosen(item->text());
    });
    zoom->setTitle(UFM::SAYS_ZOOM());
    menu->addMenu(zoom);
    menu->addSeparator();
    QAction* color = menu->addAction(UFM::SAYS_CHANGE_CANVAS_COLOR());
    QObject::connect(color, &QAction::triggered, menu, [self] {
        if (self)
            self->startBackgroundColorSelection();
    });
    return menu;
}

void QVR_CreatorSingleScreen::validateMenuItems()
{
    if (!m_pasteAction)
        return;
    QWidget* host = hostWindowOf(this);
    const bool inCreatorWindow =
        host && QVRWindowManager::sharedInstance().kindOfWindow(host) == QVRWindowManager::WindowKind::Creator;
    m_pasteAction->setEnabled(inCreatorWindow &&
                              QVRWindowManagerManagedWindow::callValidator(host, "canPaste").value_or(false));
}

void QVR_CreatorSingleScreen::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    // Only the screen itself: a click beside it belongs to the art board's menu.
    if (m_previewOnly || !screenRect().contains(event->pos())) {
        event->ignore();
        return;
    }
    m_rightMouseDownLocation = event->scenePos();
    QMenu* menu = rightClickEditingMenu();
    validateMenuItems();
    menu->popup(event->screenPos());
    event->accept();
}

bool QVR_CreatorSingleScreen::canAcceptDrop() const
{
    if (m_previewOnly || !m_screen)
        return false;
    QWidget* host = hostWindowOf(this);
    if (!host)
        return true;
    if (auto* window = qobject_cast<QVR_CreatorWindow*>(host); window && window->isAddingContent())
        return false;
    const auto dialogs = host->findChildren<QDialog*>();
    return std::none_of(dialogs.begin(), dialogs.end(), [](const QDialog* dialog) {
        return dialog->isVisible() && dialog->windowModality() != Qt::NonModal;
    });
}

void QVR_CreatorSingleScreen::dragEnterEvent(QGraphicsSceneDragDropEvent* event)
{
    if (!canAcceptDrop() || !QVRContentAdditionManager::canAddFromMimeData(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void QVR_CreatorSingleScreen::dragMoveEvent(QGraphicsSceneDragDropEvent* event)
{
    dragEnterEvent(event);
}

void QVR_CreatorSingleScreen::dropEvent(QGraphicsSceneDragDropEvent* event)
{
    if (!canAcceptDrop()) {
        event->ignore();
        return;
    }
    const QStringList types = event->mimeData() ? event->mimeData()->formats() : QStringList();
    qCInfo(lcCreator).noquote()
        << QStringLiteral("Dragged in thingy with available drag types:\n%1").arg(types.join(QLatin1Char('\n')));
    // Dropped content is set up by the window's content addition, which reports every outcome itself.
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindowOf(this));
    if (!window || !window->addDroppedContentToScreen(event->mimeData(), m_screen)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void QVR_CreatorSingleScreen::directlyInsertMixedMediaItemWithType(int kind, const QPointF& scenePoint)
{
    if (kind == kTextInsertKind) {
        directlyInsertTextItemUsingMouseDownWindowLocation(scenePoint);
        return;
    }
    // Everything else goes through the canvas's content commands, centred on the clicked point.
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindowOf(this));
    if (m_previewOnly || !window || !window->theCanvasView()) {
        qCWarning(lcCreator) << "no canvas view to insert an object of type" << kind;
        return;
    }
    window->theCanvasView()->directlyAddElementOfType(kind, mapFromScene(scenePoint));
}

void QVR_CreatorSingleScreen::directlyInsertTextItemUsingMouseDownWindowLocation(const QPointF& scenePoint)
{
    if (m_previewOnly || !m_screen)
        return;
    const auto flow = beginScreenChange(m_screen);
    if (const auto action = flow ? flow->currentUndoableAction() : nullptr)
        action->setActionDescription(UFM::UNDO_MANAGER_ADD_OBJECT_TAG());
    makeAndSelectNewTextObjectAtPoint(mapFromScene(scenePoint));
    if (flow)
        flow->endUndoableChanges();
}

void QVR_CreatorSingleScreen::displayGenericInsertItemMenuForWindowLocation(const QPointF& scenePoint)
{
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindowOf(this));
    if (m_previewOnly || !window || !window->theCanvasView())
        return;
    const QGraphicsView* view = scene()->views().front();
    const QPoint inWindow = view->viewport()->mapTo(window, view->mapFromScene(scenePoint));
    window->theCanvasView()->beginAddElementsToCurrentScreenFromRect(QRect(inWindow, QSize(10, 10)), 30, 4, 2,
                                                                     mapFromScene(scenePoint));
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> QVR_CreatorSingleScreen::makeAndSelectNewTextObjectAtPoint(const QPointF& p)
{
    if (!m_screen)
        return nullptr;
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    auto text = object ? object->as<ZERI_MMObject_Text>() : nullptr;
    if (!text)
        return nullptr;
    const QSizeF size = ZERI_MMObject_Text::defaultTextItemSize();
    text->setAttributedString(QVR_TextHelperUtils::defaultAttributedText());
    text->setIsThemeText(true);
    text->setFrame(QRectF(p.x() - size.width() / 2.0, p.y() - size.height() / 2.0, size.width(), size.height()));
    m_screen->addMixedMediaObject(object);
    m_screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    selectViewForMixedMediaObject(object);
    QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), QStringLiteral("Text")}},
                           m_screen->tessarineModel());
    return object;
}

void QVR_CreatorSingleScreen::screenPaste()
{
    QWidget* host = hostWindowOf(this);
    if (!host || QVRWindowManager::sharedInstance().kindOfWindow(host) != QVRWindowManager::WindowKind::Creator)
        return;
    const auto modifiers = m_pasteAction && !m_pasteAction->shortcut().isEmpty()
                               ? m_pasteAction->shortcut()[0].keyboardModifiers()
                               : Qt::KeyboardModifiers();
    QVRWindowManagerManagedWindow::callPerformer(host, "performPaste", static_cast<uint>(modifiers.toInt()));
}

void QVR_CreatorSingleScreen::zoomMenuItemChosen(const QString& title)
{
    const auto level = QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(title);
    if (!level)
        return;
    NotificationCenter::defaultCenter().post(QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION"), hostWindowOf(this),
                                             {{QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION_SCALE_KEY"), *level}});
}

void QVR_CreatorSingleScreen::startBackgroundColorSelection()
{
    if (m_previewOnly || !m_screen)
        return;
    m_colorPicker = CreatorColorPicker::colorPicker();
    if (!m_colorPicker) {
        qCWarning(lcCreator) << "no colour picker is registered";
        return;
    }
    std::vector<CreatorColorPicker::ThemeColor> themeColors;
    if (const auto flow = m_screen->nearestParentItemOfClass<ZERI_FlowModel>()) {
        for (const QColor& color : TessarineThemeCatalogue::shared().themeColors(flow->themeID()))
            themeColors.emplace_back(QStringLiteral("#%1").arg(ZERI_AppDataModelCenter::rgbaHexStringFromColor(color)),
                                     color);
    }
    const QColor current = m_screen->backgroundColor();
    m_colorPicker->setInitialColor(current.isValid() ? current : QColor(Qt::white));
    m_colorPicker->setThemeColorList(themeColors);
    m_colorPicker->setShowsAlphaPicker(false);
    m_colorPicker->setPanelShouldDismissOnResignKey(true);
    QPointer<QVR_CreatorSingleScreen> self(this);
    m_colorPicker->setOnColorPicked([self](const QColor& color) {
        if (self)
            self->backgroundColorPicked(color);
    });
    m_colorPicker->presentColorPanel();
}

void QVR_CreatorSingleScreen::backgroundColorPicked(const QColor& color)
{
    if (m_previewOnly || !m_screen || !color.isValid())
        return;
    const auto flow = beginScreenChange(m_screen);
    m_screen->setBackgroundColor(color);
    if (flow)
        flow->endUndoableChanges();
}

QVR_InteractableViewHandler* QVR_CreatorSingleScreen::interactionHandler() const
{
    if (m_previewOnly || !scene())
        return nullptr;
    for (QGraphicsView* view : scene()->views()) {
        for (QWidget* widget = view; widget; widget = widget->parentWidget()) {
            if (auto* board = qobject_cast<QVR_SingleScreenArtBoardView*>(widget))
                return QVR_InteractableViewHandler::handlerForBoard(board);
        }
    }
    return nullptr;
}

QVR_MixedMediaElementContainingView*
QVR_CreatorSingleScreen::firstContainerWithObjectID(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const
{
    if (!object || !object->object())
        return nullptr;
    const QString id = (*object)->internalID();
    for (auto* container : m_containers) {
        const auto& mine = container->mixedMediaObject();
        if (mine == object || (mine && mine->object() && !id.isEmpty() && (*mine)->internalID() == id))
            return container;
    }
    return nullptr;
}

void QVR_CreatorSingleScreen::selectViewForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    auto* handler = interactionHandler();
    if (auto* container = firstContainerWithObjectID(object); handler && container)
        handler->setCurrentlySelected({container});
}

void QVR_CreatorSingleScreen::addSelectionForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    auto* handler = interactionHandler();
    if (auto* container = firstContainerWithObjectID(object); handler && container)
        handler->addToCurrentlySelected(container);
}

void QVR_CreatorSingleScreen::setSelectionsForMixedMediaObjects(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    auto* handler = interactionHandler();
    if (!handler)
        return;
    std::vector<QVR_MixedMediaElementContainingView*> chosen;
    for (auto* container : m_containers) {
        if (std::find(objects.begin(), objects.end(), container->mixedMediaObject()) != objects.end())
            chosen.push_back(container);
    }
    handler->setCurrentlySelected(chosen);
}

void QVR_CreatorSingleScreen::selectAll()
{
    if (!m_screen)
        return;
    const auto objects = m_screen->mixedMediaObjects();
    for (const auto& object : objects)
        addSelectionForMixedMediaObject(object);
}

std::shared_ptr<ZERI_FlowScreenModel> QVR_CreatorSingleScreen::modelToUseForAnalytics() const
{
    const auto original = m_originalScreen.lock();
    return original ? original : m_screen;
}

void QVR_CreatorSingleScreen::setFlowScreenModel(std::shared_ptr<ZERI_FlowScreenModel> screen)
{
    if (screen == m_screen)
        return;
    m_colorObserver.reset();
    m_objectsObserver.reset();
    m_screen = std::move(screen);
    if (!m_screen)
        return;
    QPointer<QVR_CreatorSingleScreen> self(this);
    m_colorObserver = m_screen->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->updateScreenColor();
        },
        QStringLiteral("backgroundColor"));
    m_objectsObserver = m_screen->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->buildMixedMediaObjectViews();
        },
        QStringLiteral("mixedMediaObjects"));
    updateScreenColor();
    buildMixedMediaObjectViews();
}

void QVR_CreatorSingleScreen::updateScreenColor()
{
    // A screen whose colour is removed shows white again, as previews and the player show it.
    const QColor color = m_screen ? m_screen->backgroundColor() : QColor();
    m_screenColor = color.isValid() ? color : QColor(Qt::white);
    update(screenRect().adjusted(-kShadowRadius, -kShadowRadius, kShadowRadius, kShadowRadius));
}

QRectF QVR_CreatorSingleScreen::screenRect() const
{
    return QRectF(0, 0, kScreenWidth, kScreenHeight);
}

void QVR_CreatorSingleScreen::setVisibleArea(const QRectF& area)
{
    if (area == m_visibleArea)
        return;
    prepareGeometryChange();
    m_mask->areaChanged();
    m_visibleArea = area;
    update();
    m_mask->update();
}

QRectF QVR_CreatorSingleScreen::boundingRect() const
{
    return m_visibleArea.united(screenRect().adjusted(-kShadowRadius, -kShadowRadius, kShadowRadius, kShadowRadius));
}

QPainterPath QVR_CreatorSingleScreen::maskPath() const
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(boundingRect());
    path.addRect(screenRect());
    return path;
}

QColor QVR_CreatorSingleScreen::maskColor() const
{
    return m_previewOnly ? QColor::fromRgbF(0.2f, 0.2f, 0.2f, 1.0f) : QColor::fromRgbF(0.79f, 0.79f, 0.79f, 0.3f);
}

void QVR_CreatorSingleScreen::buildMixedMediaObjectViews()
{
    static const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> kNoObjects;
    const auto& objects = m_screen ? m_screen->mixedMediaObjects() : kNoObjects;
    std::unordered_set<const ZERI_MixedMediaObjectProxy*> present;
    for (const auto& object : objects)
        present.insert(object.get());
    // Containers of objects that left the screen go; the others stay the same items.
    std::vector<QVR_MixedMediaElementContainingView*> kept;
    for (QVR_MixedMediaElementContainingView* container : m_containers) {
        if (present.count(container->mixedMediaObject().get()))
            kept.push_back(container);
        else
            delete container;
    }
    m_containers = std::move(kept);

    std::vector<QVR_MixedMediaElementContainingView*> ordered;
    ordered.reserve(objects.size());
    for (const auto& object : objects) {
        if (!object || !object->object())
            continue;
        QVR_MixedMediaElementContainingView* container =
            buildOrGetMixedMediaElementForObject(object, (*object)->frame());
        // The same object twice on a screen still gets one container.
        if (std::find(ordered.begin(), ordered.end(), container) != ordered.end())
            continue;
        ordered.push_back(container);
        container->setZValue(double(ordered.size()));
        appropriatelyResizeMmobjView(container);
        container->setIsPreviewOnly(m_previewOnly);
    }
    m_containers = std::move(ordered);
}

QVR_MixedMediaElementContainingView*
QVR_CreatorSingleScreen::buildOrGetMixedMediaElementForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                              const QRectF& frame)
{
    QVR_MixedMediaElementContainingView* container = containerForMixedMediaObject(object);
    if (!container) {
        container = new QVR_MixedMediaElementContainingView(object, this);
        m_containers.push_back(container);
    }
    container->setFrame(frame);
    return container;
}

QVR_MixedMediaElementContainingView*
QVR_CreatorSingleScreen::containerForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const
{
    if (!object)
        return nullptr;
    // The last match wins, as a later container is drawn on top.
    for (auto it = m_containers.rbegin(); it != m_containers.rend(); ++it) {
        if ((*it)->mixedMediaObject() == object)
            return *it;
    }
    return nullptr;
}

std::vector<QVR_MixedMediaElementContainingView*> QVR_CreatorSingleScreen::elementContainers() const
{
    return m_containers;
}

QRectF QVR_CreatorSingleScreen::rectAlignedToDevicePixels(const QRectF& rect) const
{
    const QList<QGraphicsView*> views = scene() ? scene()->views() : QList<QGraphicsView*>();
    QTransform toDevice = sceneTransform();
    if (!views.isEmpty()) {
        const QGraphicsView* view = views.front();
        const double ratio = view->viewport()->devicePixelRatioF();
        toDevice = toDevice * view->viewportTransform() * QTransform::fromScale(ratio, ratio);
    }
    bool invertible = false;
    const QTransform fromDevice = toDevice.inverted(&invertible);
    if (!invertible || !toDevice.isAffine())
        return rect;
    const QPointF a = toDevice.map(rect.topLeft());
    const QPointF b = toDevice.map(rect.bottomRight());
    const QPointF roundedA(std::round(a.x()), std::round(a.y()));
    const QPointF roundedB(std::round(b.x()), std::round(b.y()));
    return QRectF(fromDevice.map(roundedA), fromDevice.map(roundedB)).normalized();
}

void QVR_CreatorSingleScreen::appropriatelyResizeMmobjView(QVR_MixedMediaElementContainingView* container)
{
    if (!container)
        return;
    const auto object = container->mixedMediaObject();
    if (!object || !object->object())
        return;
    // Model and scene share their units and origin: the frame is the container's place as it stands.
    QRectF rect = (*object)->frame();
    if (object->type() != ZERI_MixedMediaObject::Text)
        rect = rectAlignedToDevicePixels(rect);
    container->setFrame(rect);
}

void QVR_CreatorSingleScreen::appropriatelyResizeAllMmobjViews()
{
    for (QVR_MixedMediaElementContainingView* container : m_containers)
        appropriatelyResizeMmobjView(container);
}

void QVR_CreatorSingleScreen::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF screen = screenRect();
    const auto layer = [&screen](int step) {
        const double grow = kShadowRadius * (kShadowLayers - step) / kShadowLayers;
        return screen.adjusted(-grow, -grow, grow, grow);
    };
    // An opaque screen hides what lies beneath it, so the surround is filled only around it, in four bands that
    // reach two device pixels into the shadow's outermost layer (which covers them there), and each layer is drawn
    // in the opaque colour its stack gives on the surround, an inner layer covering the rest: the same pixels,
    // without filling and blending the screen's area again and again (a strip across the screen stays cheap).
    const bool opaque = m_screenColor.alpha() == 255;
    const QRectF around = boundingRect();
    const double pixel = 1.0 / std::max(1e-9, std::sqrt(std::abs(painter->worldTransform().determinant())));
    const QRectF inside = layer(0).adjusted(2 * pixel, 2 * pixel, -2 * pixel, -2 * pixel);
    if (opaque && inside.isValid() && around.contains(inside)) {
        painter->fillRect(QRectF(around.topLeft(), QPointF(around.right(), inside.top())), kSurroundColor);
        painter->fillRect(QRectF(QPointF(around.left(), inside.bottom()), around.bottomRight()), kSurroundColor);
        painter->fillRect(QRectF(around.topLeft(), QPointF(inside.left(), around.bottom())), kSurroundColor);
        painter->fillRect(QRectF(QPointF(inside.right(), around.top()), around.bottomRight()), kSurroundColor);
    } else {
        painter->fillRect(around, kSurroundColor);
    }
    // The shadow: black at 0.9, blurred over two points around the screen, as kShadowLayers translucent layers,
    // each a little smaller than the one below.
    painter->setPen(Qt::NoPen);
    if (!opaque)
        painter->setBrush(kShadowLayerColor);
    for (int step = 0; step < kShadowLayers; ++step) {
        if (opaque)
            painter->setBrush(shadowStackColor(step));
        painter->drawRect(layer(step));
    }
    painter->fillRect(screen, m_screenColor);
}

QColor QVR_CreatorSingleScreen::shadowStackColor(int step)
{
    // The layers blended once, on one pixel of the surround, by the same raster code that paints the board.
    static const std::array<QColor, kShadowLayers> colors = [] {
        std::array<QColor, kShadowLayers> result;
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&pixel);
        painter.fillRect(QRectF(0, 0, 1, 1), kSurroundColor);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kShadowLayerColor);
        for (int i = 0; i < kShadowLayers; ++i) {
            painter.drawRect(QRectF(0, 0, 1, 1));
            result[std::size_t(i)] = QColor::fromRgba(pixel.pixel(0, 0));
        }
        return result;
    }();
    return colors[std::size_t(std::clamp(step, 0, kShadowLayers - 1))];
}
