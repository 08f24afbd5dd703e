#include "creator/snapping/SnappingGridLine.h"

QString SnappingGridLine::description() const
{
    const char* rel = m_relativePosition == SnapMiddle ? "Middle" : m_relativePosition == SnapEnd ? "End" : "Beginning";
    return QStringLiteral("<SnappingGridLine: %1> relPos:%2 absPos:%3 hiddenIndex:%4 orientation:%5 "
                          "belongsToParentView:%6 belongsToSnapView:%7")
        .arg(quintptr(this), 0, 16)
        .arg(QLatin1String(rel))
        .arg(double(m_absolutePosition), 0, 'f', 6)
        .arg(m_hiddenIndex)
        .arg(m_orientation == SnapHorizontal ? QLatin1String("Horizontal") : QLatin1String("Vertical"))
        .arg(m_belongsToParentView ? QLatin1String("Y") : QLatin1String("N"))
        .arg(m_belongsToSnapView ? QLatin1String("Y") : QLatin1String("N"));
}
