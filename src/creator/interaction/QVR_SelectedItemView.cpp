#include "creator/interaction/QVR_SelectedItemView.h"

#include <algorithm>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QVariantAnimation>

#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailBarHost.h"
#include "elements/text/TextEditingItem.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "foundation/Tessutils.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

QVR_AttributedTextMixedMediaElementView* textViewOf(QVR_MixedMediaElementContainingView* container)
{
    if (!container || !container->mixedMediaObject() || !container->mixedMediaObject()->object() ||
        container->mixedMediaObject()->type() != ZERI_MixedMediaObject::Text)
        return nullptr;
    return dynamic_cast<QVR_AttributedTextMixedMediaElementView*>(container->mixedMediaElementView());
}

} // namespace

// --- handles ---

QVR_SelectedItemHandle::QVR_SelectedItemHandle(int position, bool rotate, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_position(position)
    , m_rotate(rotate)
{
    setFlag(ItemIgnoresTransformations);
    setAcceptHoverEvents(rotate);
    // Resize handles lie over the rotate handles they overlap.
    setZValue(rotate ? 0 : 1);
}

QRectF QVR_SelectedItemHandle::handleRect(int position, bool rotate)
{
    const double r = kRotateSide, s = kResizeSide;
    if (rotate) {
        switch (position) {
        case 0:
            return {0, 0, r, r};
        case 1:
            return {-r, 0, r, r};
        case 2:
            return {-r, -r, r, r};
        case 3:
            return {0, -r, r, r};
        default:
            return {};
        }
    }
    switch (position) {
    case 0:
        return {9, 9, s, s};
    case 1:
        return {-r, 9, s, s};
    case 2:
        return {-r, -r, s, s};
    case 3:
        return {9, -r, s, s};
    case 4:
        return {10, -s / 2, s, s};
    case 5:
        return {-31, -s / 2, s, s};
    case 6:
        return {-s / 2, 9, s, s};
    case 7:
        return {-s / 2, -r, s, s};
    default:
        return {};
    }
}

QRectF QVR_SelectedItemHandle::dotRect(int position, const QSizeF& handle)
{
    const double w = handle.width(), h = handle.height(), d = w / 2;
    QPointF origin;
    switch (position) {
    case 0:
        origin = {0, 0};
        break;
    case 1:
        origin = {w - d, 0};
        break;
    case 2:
        origin = {w - d, h - d};
        break;
    case 3:
        origin = {0, h - d};
        break;
    case 4:
        origin = {0, (h - d) / 2};
        break;
    case 5:
        origin = {w - d, (h - d) / 2};
        break;
    case 6:
        origin = {(w - d) / 2, 0};
        break;
    case 7:
        origin = {(w - d) / 2, h - d};
        break;
    default:
        origin = {0, h - d};
        break;
    }
    return QRectF(origin, QSizeF(d, d));
}

QLineF QVR_SelectedItemHandle::rotateLine(int position, const QSizeF& handle)
{
    const double w = handle.width(), h = handle.height();
    switch (position) {
    case 0:
        return {w - 12, h - 12, 5, 5};
    case 1:
        return {12, h - 12, w - 5, 5};
    case 2:
        return {12, 12, w - 5, h - 5};
    case 3:
        return {w - 12, 12, 5, h - 5};
    default:
        return {0, h, 5, h - 5};
    }
}

std::optional<QCursor> QVR_SelectedItemHandle::interactionCursor() const
{
    return m_rotate ? QVR_InteractionModelUtils::rotateCursor(m_position)
                    : QVR_InteractionModelUtils::resizeCursorForPosition(m_position);
}

QRectF QVR_SelectedItemHandle::boundingRect() const
{
    const double side = m_rotate ? kRotateSide : kResizeSide;
    return QRectF(0, 0, side, side);
}

void QVR_SelectedItemHandle::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor blue = Tessutils::tessarineBlue();
    // A white rim keeps the resize dots readable on any screen colour, the brand blue of a title band included
    // (the rotate dot's white middle does that for it).
    if (!m_rotate) {
        const QRectF dot = dotRect(m_position, boundingRect().size());
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::white);
        painter->drawEllipse(dot);
        painter->setBrush(blue);
        painter->drawEllipse(dot.adjusted(kRimWidth, kRimWidth, -kRimWidth, -kRimWidth));
        return;
    }
    if (m_drawnOpacity <= 0.0)
        return;
    painter->setOpacity(painter->opacity() * m_drawnOpacity);
    const QLineF line = rotateLine(m_position, boundingRect().size());
    painter->setPen(QPen(blue, 3.0));
    painter->drawLine(line);
    painter->setPen(Qt::NoPen);
    painter->setBrush(blue);
    painter->drawEllipse(line.p2(), 5.0, 5.0);
    painter->setBrush(Qt::white);
    painter->drawEllipse(line.p2(), 3.0, 3.0);
}

void QVR_SelectedItemHandle::fadeDrawing(double opacity)
{
    if (!m_fade) {
        m_fade = new QVariantAnimation(this);
        m_fade->setDuration(kFadeMs);
        connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_drawnOpacity = value.toDouble();
            update();
        });
    }
    m_fade->stop();
    m_fade->setStartValue(m_drawnOpacity);
    m_fade->setEndValue(opacity);
    m_fade->start();
}

void QVR_SelectedItemHandle::hoverEnterEvent(QGraphicsSceneHoverEvent*)
{
    fadeDrawing(1.0);
}

void QVR_SelectedItemHandle::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    fadeDrawing(0.0);
}

// --- the frame ---

QVR_SelectedItemView::QVR_SelectedItemView(QWidget* window)
    : m_window(window)
    , m_revealTimer(new QTimer(this))
    , m_layoutTimer(new QTimer(this))
{
    setZValue(kZValue);
    setVisible(false);
    setAcceptedMouseButtons(Qt::NoButton);
    for (int position = 0; position < 4; ++position)
        m_rotate.push_back(new QVR_SelectedItemHandle(position, true, this));
    for (int position = 0; position < 8; ++position)
        m_resize.push_back(new QVR_SelectedItemHandle(position, false, this));
    m_revealTimer->setSingleShot(true);
    connect(m_revealTimer, &QTimer::timeout, this, &QVR_SelectedItemView::revealSelectedItemView);
    // Follows moves the frame is not told of (an undo, an inspector edit) within a short while.
    m_layoutTimer->setInterval(50);
    connect(m_layoutTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && opacity() > 0)
            selectedViewsDidChange();
    });
    qApp->installEventFilter(this);
}

QVR_SelectedItemView::~QVR_SelectedItemView()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void QVR_SelectedItemView::setDelegate(QVR_SelectedItemHandler* delegate, QObject* lifetime)
{
    m_delegate = delegate;
    m_delegateLifetime = lifetime;
}

QVR_SelectedItemHandler* QVR_SelectedItemView::delegate() const
{
    return m_delegateLifetime ? m_delegate : nullptr;
}

std::vector<QVR_MixedMediaElementContainingView*> QVR_SelectedItemView::selectedViews() const
{
    std::vector<QVR_MixedMediaElementContainingView*> views;
    for (const auto& view : m_selection) {
        if (view)
            views.push_back(view);
    }
    std::stable_sort(views.begin(), views.end(),
                     [](const auto* a, const auto* b) { return a->zValue() < b->zValue(); });
    return views;
}

void QVR_SelectedItemView::setSelectedViews(const std::vector<QVR_MixedMediaElementContainingView*>& views)
{
    m_selection.assign(views.begin(), views.end());
    if (!views.empty() && views.front()->scene() && scene() != views.front()->scene())
        views.front()->scene()->addItem(this);
    selectedViewsDidChange();
    emit selectionWasSet();
}

QVR_SelectedItemHandle* QVR_SelectedItemView::handle(int position, bool rotate) const
{
    const auto& list = rotate ? m_rotate : m_resize;
    return position >= 0 && position < int(list.size()) ? list[size_t(position)] : nullptr;
}

double QVR_SelectedItemView::magnification() const
{
    if (scene() && !scene()->views().isEmpty()) {
        const double m = scene()->views().front()->transform().m11();
        if (m > 0)
            return m;
    }
    return 1.0;
}

void QVR_SelectedItemView::selectedViewsDidChange()
{
    const auto views = selectedViews();
    if (views.empty() || !scene() || views.front()->scene() != scene()) {
        setVisible(false);
        m_layoutTimer->stop();
        return;
    }
    QRectF box;
    for (auto* view : views)
        box = box.isNull() ? view->sceneBoundingRect() : box.united(view->sceneBoundingRect());
    const double s = kDefaultSideLength / magnification();
    prepareGeometryChange();
    setPos(box.topLeft() - QPointF(s / 2, s / 2));
    m_rect = QRectF(0, 0, box.width() + s, box.height() + s);

    const bool single = views.size() == 1;
    const bool rotateOn = single && views.front()->rotatable();
    for (auto* h : m_rotate) {
        h->setOpacity(rotateOn ? 1.0 : 0.0);
        h->setEnabled(rotateOn);
    }
    for (auto* h : m_resize) {
        const bool on = h->position() == 4 || h->position() == 5 || !single ||
                        views.front()->resizePositionIsAvailable(h->position());
        h->setOpacity(on ? 1.0 : 0.0);
        h->setEnabled(on);
    }
    for (auto* h : m_rotate)
        h->setPos(QVR_InteractionModelUtils::pointOnFrame(m_rect, h->position()) +
                  QVR_SelectedItemHandle::handleRect(h->position(), true).topLeft() / magnification());
    for (auto* h : m_resize)
        h->setPos(QVR_InteractionModelUtils::pointOnFrame(m_rect, h->position()) +
                  QVR_SelectedItemHandle::handleRect(h->position(), false).topLeft() / magnification());
    setVisible(true);
    if (!m_layoutTimer->isActive())
        m_layoutTimer->start();
    update();
}

void QVR_SelectedItemView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const double inset = kDefaultSideLength / 2 / magnification();
    const QRectF outline = m_rect.adjusted(inset, inset, -inset, -inset);
    painter->setBrush(Qt::NoBrush);
    // The blue line between two white ones reads on any screen colour, the brand blue of a title band included.
    QPen rim(Qt::white, 3.0);
    rim.setCosmetic(true);
    painter->setPen(rim);
    painter->drawRect(outline);
    QPen pen(Tessutils::tessarineBlue(), 1.0);
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->drawRect(outline);
}

bool QVR_SelectedItemView::canTranslateFromArrowKeys() const
{
    const auto views = selectedViews();
    if (views.empty())
        return false;
    if (views.size() > 1)
        return true;
    auto* text = textViewOf(views.front());
    return !text || !text->editable();
}

void QVR_SelectedItemView::performDelete(uint mask)
{
    if (auto* target = delegate(); target && canDelete())
        target->wantsToDeleteViews(selectedViews(), mask);
}

void QVR_SelectedItemView::performMove(int dx, int dy, uint mask)
{
    auto* target = delegate();
    if (!target || !canTranslateFromArrowKeys())
        return;
    temporarilyHideSelectedItemView();
    target->wantsToMoveViews(dx, dy, mask);
}

void QVR_SelectedItemView::temporarilyHideSelectedItemView()
{
    if (auto* target = delegate())
        target->willHideForNudge();
    setOpacity(0.0);
    m_revealTimer->start(kRevealDelayMs);
}

void QVR_SelectedItemView::revealSelectedItemView()
{
    m_revealTimer->stop();
    if (auto* target = delegate())
        target->willRevealAfterNudge();
    setOpacity(1.0);
    selectedViewsDidChange();
}

bool QVR_SelectedItemView::textFieldHasFocus() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_window || focus->window() != m_window->window())
        return false;
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
           qobject_cast<QAbstractSpinBox*>(focus);
}

bool QVR_SelectedItemView::controlHasFocus() const
{
    // Typing starts a text's editing from the canvas or the strip only: any other control keeps what is typed on
    // it (Space presses a button or opens a colour well, a letter picks a font).
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_window || focus->window() != m_window->window())
        return false;
    const bool onCanvas = scene() && scene()->views().contains(qobject_cast<QGraphicsView*>(focus));
    return !onCanvas && !qobject_cast<QVRThumbnailBar*>(focus);
}

bool QVR_SelectedItemView::handleTypedKey(QKeyEvent* key)
{
    const auto views = selectedViews();
    if (views.size() != 1 || !TextEditingItem::isTypedText(key) || textFieldHasFocus() || controlHasFocus())
        return false;
    auto* text = textViewOf(views.front());
    if (!text || text->editable())
        return false;
    qCDebug(lcCreator) << "SHOULD ENGAGE TYPING";
    text->setEditable(true);
    // The key that started the editing is the text's first character.
    QGraphicsItem* focus = scene() ? scene()->focusItem() : nullptr;
    if (!focus || scene()->views().isEmpty())
        return false;
    QGraphicsView* view = scene()->views().front();
    view->setFocus(Qt::OtherFocusReason);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), ushort(key->count()));
    QApplication::sendEvent(view->viewport(), &copy);
    return true;
}

bool QVR_SelectedItemView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_window)
        return false;
    // Keys of this window only; each key press reaches the filter once, at its first receiver (a widget).
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != m_window->window())
        return false;
    if (QApplication::focusWidget() && widget != QApplication::focusWidget() && widget != m_window)
        return false;
    if (!isVisible() || selectedViews().empty())
        return false;
    // The dark panel over the window keeps its keys: the objects it edits stay selected and in place.
    if (auto* host = dynamic_cast<QVRThumbnailBarHost*>(m_window.data()); host && host->showsDarkPanel())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    auto* target = delegate();
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A field (a size, the palette's numbers) takes Return to end its editing.
        if (textFieldHasFocus())
            return false;
        qCDebug(lcCreator) << "Enter Pressed";
        if (target)
            target->enterKeyPressed();
        // A text being edited takes it as a new line.
        if (auto* text = textViewOf(selectedViews().front()); text && text->editable())
            return false;
        return target != nullptr;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (textFieldHasFocus())
            return false;
        {
            // A text being edited keeps Delete and Backspace, with Ctrl a word's worth.
            auto* text = textViewOf(selectedViews().front());
            if (text && text->editable())
                return false;
        }
        performDelete(uint(key->modifiers()));
        return true;
    case Qt::Key_Escape:
        // A field (a size, the palette's numbers, an opacity) ends its editing and gives the keyboard back to the
        // canvas; the objects it edits stay selected.
        if (textFieldHasFocus()) {
            if (scene() && !scene()->views().isEmpty())
                scene()->views().front()->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (target)
            target->wantsToDeselectAllViews();
        return target != nullptr;
    default:
        return handleTypedKey(key);
    }
}
