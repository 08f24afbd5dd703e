#include "creator/snapping/SnappingGridLineSet.h"

#include "creator/CreatorLogging.h"
#include "creator/snapping/SnappingUtils.h"

#include <algorithm>

SnappingGridLineSet::SnappingGridLineSet(int orientation, int size)
    : m_orientation(orientation)
    , m_size(std::max(size, 0))
    , m_slots(size_t(std::max(size, 0)))
{
}

void SnappingGridLineSet::empty()
{
    for (auto it = m_removal.rbegin(); it != m_removal.rend(); ++it) {
        if (*it >= 0 && size_t(*it) < m_slots.size())
            m_slots[size_t(*it)].reset();
    }
    m_removal.clear();
}

void SnappingGridLineSet::addGridLine(const Line& line, int position)
{
    if (position < 0 || position > m_size || !line) {
        qCWarning(lcCreator).noquote() << QStringLiteral(
                                              "Ignoring an attempt to place a line at position:%1 when size is:%2")
                                              .arg(position)
                                              .arg(m_size);
        return;
    }
    line->setHiddenIndexForDebugPurposes(position);
    line->setOrientation(m_orientation);
    m_removal.push_back(position);
    if (size_t(position) < m_slots.size())
        m_slots[size_t(position)] = line;
}

SnappingGridLineSet::Line SnappingGridLineSet::gridLineAtPosition(int position) const
{
    if (position < 0 || position >= m_size)
        return nullptr;
    return m_slots[size_t(position)];
}

bool SnappingGridLineSet::index(int index, int minimumDistance, int pointsToPixelScale) const
{
    const int d = minimumDistance * pointsToPixelScale;
    const int start = std::max(index - d, 0);
    int length = 2 * d + 1;
    if (start + length > m_size)
        length = m_size - start;
    return containsGridLineWithinRange({start, length});
}

SnappingGridLineSet::Line SnappingGridLineSet::gridLineWithinRange(SnapRange range, int direction, bool) const
{
    if (range.length > SnappingUtils::snapDistance() * SnappingUtils::pointsToPixelsScale())
        return nullptr;
    if (range.location + range.length > m_size) {
        qCWarning(lcCreator) << "RANGE STRETCHED OUT OF BOUNDS OF MY SIZE!  IGNORE!";
        return nullptr;
    }
    if (range.location < 0 || range.length <= 0)
        return nullptr;
    if (direction <= 0) {
        for (int i = range.location + range.length - 1; i >= range.location; --i) {
            if (m_slots[size_t(i)])
                return m_slots[size_t(i)];
        }
    } else {
        for (int i = range.location; i < range.location + range.length; ++i) {
            if (m_slots[size_t(i)])
                return m_slots[size_t(i)];
        }
    }
    return nullptr;
}

std::vector<SnappingGridLineSet::Line> SnappingGridLineSet::subArrayWithRange(SnapRange range) const
{
    const int count = int(m_slots.size());
    if (range.location < 0 || range.length < 0 || range.location > count || range.location + range.length > count) {
        qCWarning(lcCreator).noquote() << QStringLiteral("BAILING OUT OF A SUBARRAY REQUEST BECAUSE ITS OUT OF RANGE! "
                                                         "{%1, %2}  size: %3")
                                              .arg(range.location)
                                              .arg(range.length)
                                              .arg(m_size);
        return {};
    }
    return {m_slots.begin() + range.location, m_slots.begin() + range.location + range.length};
}

bool SnappingGridLineSet::containsGridLineWithinRange(SnapRange range) const
{
    const int from = std::max(range.location, 0);
    const int to = std::min(range.location + range.length, int(m_slots.size()));
    for (int i = from; i < to; ++i) {
        if (m_slots[size_t(i)])
            return true;
    }
    return false;
}

QString SnappingGridLineSet::description() const
{
    return QStringLiteral("<SnappingGridLineSet: %1> Orientation:%2  Array:%3")
        .arg(quintptr(this), 0, 16)
        .arg(m_orientation == SnapHorizontal ? QLatin1String("Horz") : QLatin1String("Vert"))
        .arg(SnappingUtils::sparseArrayDescription(m_slots));
}
