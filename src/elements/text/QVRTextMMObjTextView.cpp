#include "elements/text/QVRTextMMObjTextView.h"

#include <QAction>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMenu>
#include <QPainterPath>

#include "app/QVRWindowManager.h"
#include "elements/text/QVR_TextMixedMediaElementView.h"
#include "strings/StringTables.h"
#include "strings/UFM.h"

QVRTextMMObjTextView::QVRTextMMObjTextView(std::shared_ptr<QVR_TextStorage> storage, QGraphicsItem* parent)
    : QVR_AttributedTextView(std::move(storage), QSizeF(0, 0), parent)
{
}

bool QVRTextMMObjTextView::elementIsEditable() const
{
    const auto* element = qobject_cast<const QVR_TextMixedMediaElementView*>(parentObject());
    return element && element->editable();
}

bool QVRTextMMObjTextView::isInEditingEdge(const QPointF& point) const
{
    const QSizeF bounds = size();
    return point.x() <= kEdgeMargin || point.y() <= kEdgeMargin || point.x() >= bounds.width() - kEdgeMargin ||
           point.y() >= bounds.height() - kEdgeMargin;
}

bool QVRTextMMObjTextView::contains(const QPointF& point) const
{
    if (elementIsEditable() && isInEditingEdge(point))
        return false;
    return QVR_AttributedTextView::contains(point);
}

QPainterPath QVRTextMMObjTextView::shape() const
{
    QPainterPath path;
    if (!elementIsEditable()) {
        path.addRect(boundingRect());
        return path;
    }
    const QRectF inner = boundingRect().adjusted(kEdgeMargin, kEdgeMargin, -kEdgeMargin, -kEdgeMargin);
    if (inner.isValid())
        path.addRect(inner);
    return path;
}

void QVRTextMMObjTextView::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    // The edge band passes the click on to the element below.
    if (elementIsEditable() && isInEditingEdge(event->pos())) {
        event->ignore();
        return;
    }
    QVR_AttributedTextView::mousePressEvent(event);
}

void QVRTextMMObjTextView::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    if (elementIsEditable() && isInEditingEdge(event->pos())) {
        event->ignore();
        return;
    }
    QVR_AttributedTextView::mouseDoubleClickEvent(event);
}

QMenu* QVRTextMMObjTextView::menuForEvent(QGraphicsSceneContextMenuEvent* event)
{
    // The text view's whole editing menu, not pruned to the element's text commands.
    auto* menu = new QMenu;
    const auto add = [&](const QString& title, const QString& command, std::function<void()> perform) {
        QAction* action = menu->addAction(title);
        setCommand(action, command);
        action->setEnabled(command == QLatin1String("undo:") || command == QLatin1String("redo:")
                               ? QVRWindowManager::sharedInstance().validateWindowCommand(command.chopped(1))
                               : validateMenuItem(command));
        QObject::connect(action, &QAction::triggered, this, std::move(perform));
    };
    add(LocalizedStringWithEnglishFallback(QStringLiteral("UNDO_TEXT")), QStringLiteral("undo:"),
        [] { QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("undo")); });
    add(LocalizedStringWithEnglishFallback(QStringLiteral("REDO_TEXT")), QStringLiteral("redo:"),
        [] { QVRWindowManager::sharedInstance().performWindowCommand(QStringLiteral("redo")); });
    menu->addSeparator();
    add(UFM::SAYS_CUT(), QStringLiteral("cut:"), [this] { cut(); });
    add(UFM::SAYS_COPY(), QStringLiteral("copy:"), [this] { copy(); });
    add(UFM::SAYS_PASTE(), QStringLiteral("paste:"), [this] { paste(); });
    add(UFM::DELETE_TEXT(), QStringLiteral("delete:"), [this] { deleteForward(); });
    menu->addSeparator();
    add(UFM::SELECT_ALL_TEXT(), QStringLiteral("selectAll:"), [this] { selectAll(); });
    if (event)
        addSpellingSuggestions(menu, characterIndexForInsertionAtPoint(event->pos()));
    return menu;
}
