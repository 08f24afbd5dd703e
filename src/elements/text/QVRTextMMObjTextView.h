#pragma once

#include "elements/text/QVR_AttributedTextView.h"

// The text view of the plain text element view. It keeps the attributed text view's copy and cut rules and pastes
// only characters, but has no inset of its own, offers its full editing menu, and while its element is being
// edited the outer 9 points of each edge belong to the element rather than to the text, so a click there does not
// move the caret.
class QVRTextMMObjTextView : public QVR_AttributedTextView {
    Q_OBJECT
public:
    static constexpr double kEdgeMargin = 9;

    QVRTextMMObjTextView(std::shared_ptr<QVR_TextStorage> storage, QGraphicsItem* parent = nullptr);

    // Whether the point (item coordinates) lies in the band along the edges that clicks pass through while the
    // element is being edited.
    bool isInEditingEdge(const QPointF& point) const;

    bool contains(const QPointF& point) const override;
    QPainterPath shape() const override;

protected:
    QMenu* menuForEvent(QGraphicsSceneContextMenuEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    bool elementIsEditable() const;
};
