#include "tessarine_data_model/ZERI_MMObject_Shape.h"

#include <numbers>

#include <QJsonArray>

#include "elements/images/QVRShapeUtils.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

namespace {
const QString kShapeTypeKey = QStringLiteral("shapeType");
const QString kColorKey = QStringLiteral("color");
const QString kRelativePathsKey = QStringLiteral("relativePaths");
} // namespace

void ZERI_MMObject_Shape::setShapeType(int shapeType)
{
    if (m_shapeType == shapeType)
        return;
    m_shapeType = shapeType;
    didChange(kShapeTypeKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Shape::setColor(const QColor& color)
{
    if (m_color == color)
        return;
    m_color = color;
    didChange(kColorKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Shape::colorOutletEditedWithColor(const QColor& color)
{
    beginUndoableChanges();
    setColor(color);
    endUndoableChanges();
}

QList<QPointF> ZERI_MMObject_Shape::relativePaths() const
{
    QList<QPointF> path;
    switch (m_shapeType) {
    case RightTriangle:
        path = QVRShapeUtils::relativePathForRightTriangle();
        break;
    case IsoscelesTriangle:
        path = QVRShapeUtils::relativePathForIsoscelesTriangle();
        break;
    case Octagon:
        path = QVRShapeUtils::relativePathForOctagon();
        break;
    case StandardArrow:
        path = QVRShapeUtils::relativePathForStandardArrow();
        break;
    case Arrow45Degree:
        path = QVRShapeUtils::relativePathFor45DegreeArrow();
        break;
    default:
        return {};
    }
    path = QVRShapeUtils::yInvertRelativePaths(path);
    if (rotation() != 0 && m_shapeType != Octagon)
        path = QVRShapeUtils::rotatedRelativePaths(path, rotation() * (-std::numbers::pi / 2));
    return path;
}

std::optional<QList<QVariantMap>> ZERI_MMObject_Shape::getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                                            const QString& tabType)
{
    if (tabType != QLatin1String("Object"))
        return std::nullopt;
    if (outletType != QLatin1String("Color Picker"))
        return QList<QVariantMap>();
    return QList<QVariantMap>{
        {{QStringLiteral("kQVR_CONTEXTUAL_MENU_OBJECT_KEY"), QVariant::fromValue(ModelItemRef(weak_from_this()))},
         {QStringLiteral("kQVR_CONTEXTUAL_MENU_COLOR_PROPERTY_KEY"), QStringLiteral("observableColor")},
         {QStringLiteral("kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY"), true}}};
}

void ZERI_MMObject_Shape::writeTypeProperties(QJsonObject& dict) const
{
    dict.insert(kShapeTypeKey, m_shapeType);
    if (m_color.isValid())
        dict.insert(kColorKey, ZERI_AppDataModelCenter::rgbaHexStringFromColor(m_color));
    const QList<QPointF> path = relativePaths();
    if (!path.isEmpty()) {
        QJsonArray points;
        for (const QPointF& point : path) {
            // "%.4f,%.4f"; a coordinate that rounds to zero from below is written as plain zero.
            const QString x = QString::number(point.x(), 'f', 4);
            const QString y = QString::number(point.y(), 'f', 4);
            points.append((x == QLatin1String("-0.0000") ? QStringLiteral("0.0000") : x) + u',' +
                          (y == QLatin1String("-0.0000") ? QStringLiteral("0.0000") : y));
        }
        dict.insert(kRelativePathsKey, points);
    }
}

void ZERI_MMObject_Shape::readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    // The relative paths are derived from the shape type and rotation; they are written for other readers only.
    assign(m_shapeType, reader.integer(kShapeTypeKey), kShapeTypeKey, changedKeys);
    assign(m_color, reader.color(kColorKey).value_or(QColor()), kColorKey, changedKeys);
}
