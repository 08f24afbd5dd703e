#pragma once

#include <QGraphicsObject>
#include <QSizeF>

#include "elements/images/AudioElementDrawing.h"

// The white icon in the middle of an audio object's panel: loudspeaker (0), play (1) or pause (2); any other type
// draws nothing. It draws into its own rectangle at (0, 0).
class QVOAudioIconView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit QVOAudioIconView(QGraphicsItem* parent = nullptr);

    // The icon drawn (QGraphicsItem::type() is taken).
    unsigned iconType() const { return m_type; }
    // Repaints only when the type changes.
    void setIconType(unsigned type);

    void setFrame(const QRectF& frame);

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    unsigned m_type = AudioElementDrawing::SoundIcon;
    QSizeF m_size{0, 0};
};
