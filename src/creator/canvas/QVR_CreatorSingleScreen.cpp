#include "creator/canvas/QVR_CreatorSingleScreen.h"

#include <cmath>
#include <unordered_set>

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPointer>

#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {
constexpr double kScreenWidth = 1024.0;
constexpr double kScreenHeight = 748.0;
constexpr double kShadowRadius = 2.0;
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
    setFlowScreenModel(std::move(screen));
}

QVR_CreatorSingleScreen::~QVR_CreatorSingleScreen() = default;

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
    painter->fillRect(boundingRect(), QColor::fromRgbF(0.91f, 0.91f, 0.91f));
    // The shadow: black at 0.9, blurred over two points around the screen.
    painter->setPen(Qt::NoPen);
    for (int step = 0; step < 4; ++step) {
        const double grow = kShadowRadius * (4 - step) / 4.0;
        painter->setBrush(QColor::fromRgbF(0, 0, 0, 0.9f / 4.0f));
        painter->drawRect(screen.adjusted(-grow, -grow, grow, grow));
    }
    painter->fillRect(screen, m_screenColor);
}
