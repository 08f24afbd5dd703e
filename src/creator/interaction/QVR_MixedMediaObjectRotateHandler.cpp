#include "creator/interaction/QVR_MixedMediaObjectRotateHandler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "storage/MixedMediaObjectStorage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// Paints `item` and its visible children, as the scene would, into `painter` set to the item's coordinates. A
// picture or a video is a child of its element view, whose own paint draws nothing for it.
void paintWithChildren(QPainter* painter, QGraphicsItem* item, const QRectF& exposed)
{
    QList<QGraphicsItem*> children = item->childItems();
    std::stable_sort(children.begin(), children.end(),
                     [](const QGraphicsItem* a, const QGraphicsItem* b) { return a->zValue() < b->zValue(); });
    const auto paintChild = [&](QGraphicsItem* child) {
        if (!child->isVisible() || qFuzzyIsNull(child->opacity()))
            return;
        painter->save();
        if (item->flags() & QGraphicsItem::ItemClipsChildrenToShape)
            painter->setClipPath(item->shape(), Qt::IntersectClip);
        painter->setTransform(child->itemTransform(item), true);
        painter->setOpacity(painter->opacity() * child->opacity());
        paintWithChildren(painter, child, child->boundingRect());
        painter->restore();
    };
    for (QGraphicsItem* child : children)
        if (child->zValue() < 0 || (child->flags() & QGraphicsItem::ItemStacksBehindParent))
            paintChild(child);
    QStyleOptionGraphicsItem option;
    option.exposedRect = exposed;
    painter->save();
    item->paint(painter, &option, nullptr);
    painter->restore();
    for (QGraphicsItem* child : children)
        if (!(child->zValue() < 0 || (child->flags() & QGraphicsItem::ItemStacksBehindParent)))
            paintChild(child);
}

// The element drawn once, with what its children show, at the scale the board shows it.
QPixmap snapshotOf(QGraphicsItem* element, double scale)
{
    const QRectF bounds = element->boundingRect();
    const QSize pixels((bounds.size() * scale).toSize().expandedTo(QSize(1, 1)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(-bounds.topLeft());
    painter.setClipRect(bounds);
    paintWithChildren(&painter, element, bounds);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

} // namespace

QVR_MixedMediaObjectRotateHandler::~QVR_MixedMediaObjectRotateHandler()
{
    removeSnapshot();
}

double QVR_MixedMediaObjectRotateHandler::radiansBetweenVector(const QPointF& u, const QPointF& v)
{
    // With y down, a growing atan2 turns clockwise on screen.
    double a = std::atan2(v.y(), v.x()) - std::atan2(u.y(), u.x());
    if (a < 0)
        a += 2 * std::numbers::pi;
    return a >= 2 * std::numbers::pi ? 0.0 : a;
}

double QVR_MixedMediaObjectRotateHandler::snappedTheta(double degrees)
{
    return std::round(degrees / 90.0) * 90.0;
}

QSizeF QVR_MixedMediaObjectRotateHandler::turnedZoomOffset(int quarterTurns, int rotation, const QSizeF& imageSize,
                                                           double z, const QSizeF& offset, const QSizeF& frame)
{
    const bool odd = rotation % 2 != 0;
    const double a = odd ? imageSize.height() : imageSize.width();
    const double b = odd ? imageSize.width() : imageSize.height();
    const double ox = offset.width(), oy = offset.height();
    const double w = frame.width(), h = frame.height();
    switch (quarterTurns) {
    case 1:
        return QSizeF(z * b - oy - h, ox);
    case 2:
        return QSizeF(z * a - ox - w, z * b - oy - h);
    case 3:
        return QSizeF(oy, z * a - ox - w);
    default:
        return offset;
    }
}

void QVR_MixedMediaObjectRotateHandler::startRotating(QVR_MixedMediaElementContainingView* interactable,
                                                      const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                      int position)
{
    if (m_rotating)
        endRotating();
    if (!object || !object->object())
        return;
    m_rotating = true;
    m_object = object;
    m_degrees = 0;
    m_change.begin(object, UFM::ROTATE_TEXT());
    // The model's frame: the container may not have caught up with it yet (an undo just before).
    const QSizeF size = (*object)->frame().size();
    const double w = size.width() / 2, h = size.height() / 2;
    switch (position) {
    case 0:
        m_startingVector = QPointF(-w, -h);
        break;
    case 1:
        m_startingVector = QPointF(w, -h);
        break;
    case 2:
        m_startingVector = QPointF(w, h);
        break;
    case 3:
        m_startingVector = QPointF(-w, h);
        break;
    default:
        break;
    }
    removeSnapshot();
    m_interactable = interactable;
    QGraphicsScene* scene = interactable ? interactable->scene() : nullptr;
    if (scene && interactable->mixedMediaElementView()) {
        double scale = 1.0;
        if (!scene->views().isEmpty())
            scale = std::clamp(scene->views().front()->transform().m11(), 0.25, 4.0);
        // Beside the element, under the screen's dimming of what lies outside it, as the element itself: its part
        // turned past the screen's edge shows as dimmed. Held by the element's holder, or by the scene.
        QGraphicsObject* holder = interactable->parentObject();
        m_snapshot = new QGraphicsPixmapItem(snapshotOf(interactable->mixedMediaElementView(), scale), holder);
        m_snapshotHolder = holder;
        m_snapshotHeld = holder != nullptr;
        m_scene = scene;
        if (!holder)
            scene->addItem(m_snapshot);
        m_snapshot->setZValue(kSnapshotZValue);
        m_snapshot->setOpacity(kSnapshotOpacity);
        m_snapshot->setTransformationMode(Qt::SmoothTransformation);
        m_snapshot->setAcceptedMouseButtons(Qt::NoButton);
        QVR_InteractionModelUtils::setMouseTransparent(m_snapshot);
        placeSnapshot();
    }
    if (interactable)
        interactable->willBeginRotating();
}

void QVR_MixedMediaObjectRotateHandler::handleMove(const QPointF& translation)
{
    if (!m_rotating)
        return;
    m_degrees = radiansBetweenVector(m_startingVector, m_startingVector + translation) * kDegreesPerRadian;
    placeSnapshot();
}

void QVR_MixedMediaObjectRotateHandler::placeSnapshot()
{
    if (!m_snapshot || !m_scene || !m_interactable)
        return;
    const QRectF frame = m_interactable->frame();
    m_snapshot->setRotation(0);
    const QGraphicsItem* parent = m_interactable->parentItem();
    const QPointF inScene = parent ? parent->mapToScene(frame.topLeft()) : frame.topLeft();
    m_snapshot->setPos(m_snapshot->parentItem() ? m_snapshot->parentItem()->mapFromScene(inScene) : inScene);
    m_snapshot->setTransformOriginPoint(QRectF(QPointF(), frame.size()).center());
    m_snapshot->setRotation(m_degrees); // clockwise on a y-down scene
}

void QVR_MixedMediaObjectRotateHandler::removeSnapshot()
{
    // A holder that went took the snapshot with it; a scene that went took a snapshot it held.
    if (m_snapshotHeld ? bool(m_snapshotHolder) : bool(m_scene))
        delete m_snapshot;
    m_snapshotHolder = nullptr;
    m_snapshotHeld = false;
    m_scene = nullptr;
    m_snapshot = nullptr;
}

void QVR_MixedMediaObjectRotateHandler::endRotating(std::function<void()> done)
{
    // An idle handler does nothing: no picture, no change closed.
    if (!m_rotating)
        return;
    m_rotating = false;
    removeSnapshot();
    const auto object = m_object.lock();
    m_object.reset();
    const int quarterTurns = int(snappedTheta(m_degrees)) / 90;
    bool changed = false;
    if (object && object->object() && (*object)->parentFlowScreenModel()) {
        ZERI_MixedMediaObject& model = *object->object();
        // A stored count outside 0–3 is taken modulo 4.
        const int before = ((model.rotation() % 4) + 4) % 4;
        const int after = (before + quarterTurns) % 4;
        if (after != before) {
            changed = true;
            const QRectF frame = model.frame();
            const QSizeF imageSize = MixedMediaObjectStorage::originalImageSize(model);
            // Without a stored zoom the picture fills the frame; that zoom is kept so the offset stays meaningful.
            const double zoom = MixedMediaObjectStorage::shownZoomScale(model);
            model.setRotation(after);
            if (quarterTurns % 2 != 0) {
                const QPointF centre = frame.center();
                model.setFrame(QRectF(centre.x() - frame.height() / 2, centre.y() - frame.width() / 2, frame.height(),
                                      frame.width()));
            }
            if (model.zoomScale() || zoom > 0)
                model.setZoomScale(zoom);
            model.setZoomOffset(
                turnedZoomOffset(quarterTurns, before, imageSize, zoom, model.zoomOffset(), frame.size()));
            object->updateNotifier().sendUpdateNotificationsIfNeeded();
        }
    }
    if (m_interactable)
        m_interactable->didEndRotating();
    m_interactable = nullptr;
    m_change.finish(object, changed, std::move(done));
}
