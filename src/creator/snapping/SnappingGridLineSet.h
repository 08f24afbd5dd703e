#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "creator/snapping/SnappingGridLine.h"

// A range of slots: location, then length.
struct SnapRange {
    int location = 0;
    int length = 0;
};

// The snap lines of one orientation: one flat slot per whole grid position, so a lookup is a direct index plus a
// scan of a few slots. The positions that were filled are remembered, so emptying touches only those slots and
// the big array is reused from gesture to gesture.
class SnappingGridLineSet {
public:
    using Line = std::shared_ptr<SnappingGridLine>;

    SnappingGridLineSet(int orientation, int size);

    int orientation() const { return m_orientation; }
    int size() const { return m_size; }

    void empty();
    // Logs and ignores a position below 0 or above size; a position equal to size is accepted but stores nothing.
    void addGridLine(const Line& line, int position);
    Line gridLineAtPosition(int position) const;
    // True when a line lies within minimumDistance × scale slots of index.
    bool index(int index, int minimumDistance, int pointsToPixelScale) const;
    // The line nearest to the range's start in the direction of motion (from the top of the range for a direction
    // of 0 or less); none for a range longer than the snap distance or reaching past the set.
    Line gridLineWithinRange(SnapRange range, int direction, bool relativePositionMidOnly) const;
    std::vector<Line> subArrayWithRange(SnapRange range) const;
    bool containsGridLineWithinRange(SnapRange range) const;
    QString description() const;

private:
    int m_orientation;
    int m_size;
    std::vector<Line> m_slots;
    std::vector<int> m_removal;
};
