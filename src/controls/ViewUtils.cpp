#include "controls/ViewUtils.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <QWindow>

#include "elements/images/ImageUtils.h"

namespace {

const char* const kContentModeProperty = "tess_contentMode";
const char* const kDisabledProperty = "tess_userInteractionDisabled";
const char* const kIgnoredForSubviewsProperty = "tess_userInteractionDisabledIgnoredForSubviews";

// Draws a border over its parent's edges and follows the parent's size. Never takes clicks.
class BorderOverlay : public QWidget {
public:
    explicit BorderOverlay(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("tess_borderOverlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        parent->installEventFilter(this);
        setGeometry(parent->rect());
        raise();
    }
    QColor color;
    double width = 1.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parentWidget()) {
            if (event->type() == QEvent::Resize)
                setGeometry(parentWidget()->rect());
            else if (event->type() == QEvent::ChildAdded)
                raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override
    {
        if (width <= 0 || !color.isValid())
            return;
        QPainter painter(this);
        QPen pen(color, width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        const double half = width / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
    }
};

// Hands mouse events that land on the watched view itself (not on a child) to the widget beneath it, so the view is
// invisible to hit testing while its children still take clicks. The receiver of a press also gets the moves and
// the release that follow, as Qt's implicit grab would give them.
class MousePassThrough : public QObject {
public:
    explicit MousePassThrough(QWidget* view)
        : QObject(view)
        , m_view(view)
    {
        setObjectName(QStringLiteral("tess_mousePassThrough"));
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_view)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            break;
        default:
            return false;
        }
        auto* mouse = static_cast<QMouseEvent*>(event);
        QWidget* top = m_view->window();
        const QPoint inTop = m_view->mapTo(top, mouse->position().toPoint());
        QWidget* target = m_grabTarget;
        if (!target || event->type() == QEvent::MouseButtonPress) {
            m_view->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            target = top->childAt(inTop);
            m_view->setAttribute(Qt::WA_TransparentForMouseEvents, false);
            if (!target && top != m_view)
                target = top;
        }
        if (!target || target == m_view)
            return true;
        if (event->type() == QEvent::MouseButtonPress)
            m_grabTarget = target;
        QMouseEvent copy(mouse->type(), QPointF(target->mapFrom(top, inTop)), mouse->scenePosition(),
                         mouse->globalPosition(), mouse->button(), mouse->buttons(), mouse->modifiers());
        // The receiver may turn the view's interaction back on, which deletes this filter.
        const QPointer<MousePassThrough> self(this);
        QCoreApplication::sendEvent(target, &copy);
        if (!self)
            return true;
        if (event->type() == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
            m_grabTarget = nullptr;
        return true;
    }

private:
    QWidget* m_view;
    QPointer<QWidget> m_grabTarget;
};

void applyUserInteraction(QWidget* view)
{
    const bool disabled = view->property(kDisabledProperty).toBool();
    const bool ignoredForSubviews = view->property(kIgnoredForSubviewsProperty).toBool();
    // Found by name: the class has no meta-object of its own, so findChild<MousePassThrough*> would match any child.
    QObject* passThrough =
        view->findChild<QObject*>(QStringLiteral("tess_mousePassThrough"), Qt::FindDirectChildrenOnly);
    view->setAttribute(Qt::WA_TransparentForMouseEvents, disabled && !ignoredForSubviews);
    if (disabled && ignoredForSubviews) {
        if (!passThrough)
            new MousePassThrough(view);
    } else {
        delete passThrough;
    }
}

QGraphicsOpacityEffect* opacityEffect(QWidget* view, bool create)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (!effect && create) {
        effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(1.0);
        view->setGraphicsEffect(effect); // takes ownership
    }
    return effect;
}

} // namespace

namespace ViewUtils {

UNIImage imageFromView(QWidget* view)
{
    if (!view)
        return {};
    const QSizeF bounds = view->size();
    const QSize pixels(int(std::ceil(bounds.width())), int(std::ceil(bounds.height())));
    if (pixels.isEmpty())
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1.0);
    image.fill(Qt::transparent);
    view->ensurePolished();
    view->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return UNIImage::imageWithCGImage(image);
}

UNIImage qvo_offscreenRenderedImage(QWidget* view)
{
    return imageFromView(view);
}

UNIImage blurryImageFromView(QWidget* view, double blurRadius, bool withDarkOverlay)
{
    return ImageUtils::blurryImageFromImage(imageFromView(view), blurRadius, withDarkOverlay);
}

UNIImage blurryImageFromView(QWidget* view, bool withDarkOverlay)
{
    return blurryImageFromView(view, ImageUtils::defaultBlurRadius, withDarkOverlay);
}

UNIImage pixelatedImageFromView(QWidget* view, double pixelWidth, bool withDarkOverlay)
{
    return ImageUtils::pixelatedImageFromImage(imageFromView(view), pixelWidth, withDarkOverlay);
}

UNIImage pixelatedImageFromView(QWidget* view, bool withDarkOverlay)
{
    return pixelatedImageFromView(view, ImageUtils::defaultPixelWidth, withDarkOverlay);
}

QLabel* imageViewFromView(QWidget* view)
{
    const QImage image = imageFromView(view).CGImage();
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(image));
    label->resize(image.size());
    return label;
}

namespace {

QRectF referenceRect(QWidget* view, QWidget* other)
{
    if (view->parentWidget() == other)
        return QRectF(other->rect());
    return QRectF(other->geometry());
}

} // namespace

void centerView(QWidget* view, QWidget* other)
{
    if (!view || !other)
        return;
    const QRectF ref = referenceRect(view, other);
    const double x = std::floor(ref.x() + (ref.width() - view->width()) / 2.0);
    const double y = std::floor(ref.y() + (ref.height() - view->height()) / 2.0);
    view->move(int(x), int(y));
}

void centerViewAtX(QWidget* view, QWidget* other, double x)
{
    if (!view || !other)
        return;
    const QRectF ref = referenceRect(view, other);
    const double y = std::floor(ref.y() + (ref.height() - view->height()) / 2.0);
    view->move(int(std::floor(x)), int(y));
}

void centerViewAtY(QWidget* view, QWidget* other, double y)
{
    if (!view || !other)
        return;
    const QRectF ref = referenceRect(view, other);
    const double x = std::floor(ref.x() + (ref.width() - view->width()) / 2.0);
    view->move(int(x), int(std::floor(y)));
}

void setX(QWidget* view, int x)
{
    if (view)
        view->move(x, view->y());
}

void setY(QWidget* view, int y)
{
    if (view)
        view->move(view->x(), y);
}

void setWidth(QWidget* view, int width)
{
    if (view)
        view->resize(width, view->height());
}

void resizeViewToFitSubviews(QWidget* view)
{
    if (!view)
        return;
    int maxX = 0;
    int maxY = 0;
    for (QObject* child : view->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow() || widget->objectName() == QLatin1String("tess_borderOverlay"))
            continue;
        const QRect frame = widget->geometry();
        maxX = std::max(maxX, frame.x() + frame.width());
        maxY = std::max(maxY, frame.y() + frame.height());
    }
    view->resize(maxX, maxY);
}

void drawBorderAroundView(QWidget* view, const QColor& color, double width)
{
    if (!view)
        return;
    auto* overlay = static_cast<BorderOverlay*>(
        view->findChild<QWidget*>(QStringLiteral("tess_borderOverlay"), Qt::FindDirectChildrenOnly));
    if (!overlay)
        overlay = new BorderOverlay(view);
    overlay->color = color;
    overlay->width = width;
    overlay->show();
    overlay->update();
}

void setBackgroundColor(QWidget* view, const QColor& color)
{
    if (!view)
        return;
    if (!color.isValid()) {
        view->setAutoFillBackground(false);
        return;
    }
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, color);
    view->setPalette(palette);
    view->setAutoFillBackground(true);
}

void setAlpha(QWidget* view, double alphaValue, double seconds)
{
    if (!view)
        return;
    alphaValue = std::clamp(alphaValue, 0.0, 1.0);
    QGraphicsOpacityEffect* effect = opacityEffect(view, true);
    if (seconds <= 0.0) {
        effect->setOpacity(alphaValue);
        return;
    }
    auto* animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setDuration(int(seconds * 1000.0));
    animation->setEndValue(alphaValue);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

double alpha(const QWidget* view)
{
    if (!view)
        return 0.0;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

void setContentMode(QWidget* view, int mode)
{
    if (!view)
        return;
    view->setProperty(kContentModeProperty, mode);
    view->update();
}

int contentMode(const QWidget* view)
{
    return view ? view->property(kContentModeProperty).toInt() : 0;
}

void insertSubview(QWidget* view, QWidget* subview, int index)
{
    if (!view || !subview)
        return;
    QList<QWidget*> stack;
    for (QObject* child : view->children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget && widget != subview && !widget->isWindow())
            stack.append(widget);
    if (subview->parentWidget() != view)
        subview->setParent(view);
    if (index >= 0 && index < stack.size())
        subview->stackUnder(stack.at(index));
    else
        subview->raise();
    subview->show();
}

void setUserInteractionDisabled(QWidget* view, bool disabled)
{
    if (!view)
        return;
    view->setProperty(kDisabledProperty, disabled);
    applyUserInteraction(view);
}

void setUserInteractionDisabledIgnoredForSubviews(QWidget* view, bool ignoredForSubviews)
{
    if (!view)
        return;
    view->setProperty(kIgnoredForSubviewsProperty, ignoredForSubviews);
    applyUserInteraction(view);
}

bool isUserInteractionDisabled(const QWidget* view)
{
    return view && view->property(kDisabledProperty).toBool();
}

void setFontColor(QAbstractButton* button, const QColor& color)
{
    if (!button || !color.isValid() || button->text().isEmpty())
        return;
    QPalette palette = button->palette();
    for (auto role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        palette.setColor(role, color);
    button->setPalette(palette);
}

void setTextColor(const QColor& color, QAbstractButton* button)
{
    setFontColor(button, color);
}

void placeAsSheet(QWidget* sheet, const QWidget* window)
{
    if (!sheet || !window)
        return;
    const QRect area(window->mapToGlobal(QPoint(0, 0)), window->size());
    int top = area.top();
    for (const QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        if (bar->isVisibleTo(window))
            top = std::max(top, bar->mapToGlobal(QPoint(0, bar->height())).y());
    }
    // Positions are the frame's, sizes the content's: the frame's margins count (known once the sheet has its
    // native window; none before that on some platforms).
    QMargins frame;
    if (sheet->isWindow()) {
        sheet->winId();
        if (const QWindow* handle = sheet->windowHandle())
            frame = handle->frameMargins();
    }
    const int room = area.bottom() + 1 - top - frame.top() - frame.bottom();
    if (sheet->height() > room)
        sheet->resize(sheet->width(), std::max(room, sheet->minimumSizeHint().height()));
    const int frameWidth = sheet->width() + frame.left() + frame.right();
    sheet->move(area.left() + (area.width() - frameWidth) / 2, top);
}

void keepAboveWindowsKeptOnTop(QWidget* window)
{
    if (!window)
        return;
    QWidget* own = window->window();
    bool keptOnTop = false;
    for (QWidget* top : QApplication::topLevelWidgets())
        keptOnTop = keptOnTop || (top != own && top->isVisible() && !own->isAncestorOf(top) &&
                                  top->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    if (own->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != keptOnTop)
        own->setWindowFlag(Qt::WindowStaysOnTopHint, keptOnTop);
}

void recursivelyUnregisterDragTypesForAllSubviewsOfView(QWidget* view)
{
    if (!view)
        return;
    for (QWidget* descendant : view->findChildren<QWidget*>())
        descendant->setAcceptDrops(false);
}

void drawNinePartImage(QPainter* painter, const QPixmap& image, const QRectF& rect, double topCap, double bottomCap,
                       double leftCap, double rightCap)
{
    if (!painter || image.isNull() || rect.isEmpty())
        return;
    const double dpr = image.devicePixelRatio();
    const QSizeF size = QSizeF(image.size()) / dpr;
    // Caps larger than the target would overlap: shrink them in proportion.
    const double hScale = (leftCap + rightCap) > rect.width() ? rect.width() / (leftCap + rightCap) : 1.0;
    const double vScale = (topCap + bottomCap) > rect.height() ? rect.height() / (topCap + bottomCap) : 1.0;
    const double l = leftCap * hScale, r = rightCap * hScale, t = topCap * vScale, b = bottomCap * vScale;
    const double sx[4] = {0, leftCap, size.width() - rightCap, size.width()};
    const double sy[4] = {0, topCap, size.height() - bottomCap, size.height()};
    const double dx[4] = {rect.left(), rect.left() + l, rect.right() - r, rect.right()};
    const double dy[4] = {rect.top(), rect.top() + t, rect.bottom() - b, rect.bottom()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF source(sx[col] * dpr, sy[row] * dpr, (sx[col + 1] - sx[col]) * dpr,
                                (sy[row + 1] - sy[row]) * dpr);
            const QRectF target(dx[col], dy[row], dx[col + 1] - dx[col], dy[row + 1] - dy[row]);
            if (source.width() <= 0 || source.height() <= 0 || target.width() <= 0 || target.height() <= 0)
                continue;
            painter->drawPixmap(target, image, source);
        }
    }
}

} // namespace ViewUtils
