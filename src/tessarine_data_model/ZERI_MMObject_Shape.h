#pragma once

#include <QColor>
#include <QPointF>
#include <QList>

#include "tessarine_data_model/ZERI_MixedMediaObject.h"

// A shape object (type 7), filled with one colour. Its rotation (quarter turns) turns the polygon shapes; the
// octagon is never turned.
class ZERI_MMObject_Shape : public ZERI_MixedMediaObject {
public:
    enum ShapeType {
        NoShape = 0,
        Rectangle = 1,
        Ellipse = 2,
        RightTriangle = 3,
        IsoscelesTriangle = 4,
        Octagon = 5,
        StandardArrow = 6,
        RoundedRectangle = 7,
        Arrow45Degree = 8
    };

    int type() const override { return Shape; }

    int shapeType() const { return m_shapeType; }
    void setShapeType(int shapeType);
    // Invalid: no fill.
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QColor observableColor() const { return m_color; }
    // The side menu's colour outlet: sets the fill colour as one undoable change.
    void colorOutletEditedWithColor(const QColor& color);

    // The polygon in the unit square as drawn into a y-up context: the shape's list flipped and, unless it is
    // the octagon, turned by rotation × (−π/2). Empty for rectangles, ellipses, rounded rectangles and unknown
    // shape types.
    QList<QPointF> relativePaths() const;

    // Fills `frame` (in the painter's y-down coordinates) with the shape in its colour; the painter's state is
    // left as it was. Any other shape type logs and draws nothing.
    void drawIntoContext(QPainter* context, const QRectF& frame) const;
    // The shape into frame × scale, without antialiasing (as the canvas draws it).
    void drawOnContext(QPainter* context, double scale, const QSizeF& contextSize, bool drawBordersForBlankObjects,
                       bool ignoreThreadSafety) const override;

    // Tab "Object", kind "Color Picker": the colour outlet set-up; other kinds: empty; other tabs: nothing.
    std::optional<QList<QVariantMap>> getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                           const QString& tabType) override;

protected:
    void writeTypeProperties(QJsonObject& dict) const override;
    void readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    int m_shapeType = NoShape;
    QColor m_color;
};
