#pragma once

#include <QRectF>
#include <QString>

#include <memory>

// Orientation of a snap line: a Vertical line sits at an x position (used with x and width), a Horizontal one at a
// y position (used with y and height).
enum SnapOrientation : int { SnapVertical = 0, SnapHorizontal = 1 };
// Which edge of a frame a line or a connection stands for.
enum SnapRelativePosition : int { SnapBeginning = 0, SnapMiddle = 1, SnapEnd = 2 };

// One snap line, stored at an integer slot of a line set.
class SnappingGridLine {
public:
    int relativePosition() const { return m_relativePosition; }
    void setRelativePosition(int value) { m_relativePosition = value; }
    float absolutePosition() const { return m_absolutePosition; }
    void setAbsolutePosition(float value) { m_absolutePosition = value; }
    int hiddenIndexForDebugPurposes() const { return m_hiddenIndex; }
    void setHiddenIndexForDebugPurposes(int value) { m_hiddenIndex = value; }
    int orientation() const { return m_orientation; }
    void setOrientation(int value) { m_orientation = value; }
    bool belongsToParentView() const { return m_belongsToParentView; }
    void setBelongsToParentView(bool value) { m_belongsToParentView = value; }
    bool belongsToSnapView() const { return m_belongsToSnapView; }
    void setBelongsToSnapView(bool value) { m_belongsToSnapView = value; }

    QString description() const;

private:
    int m_relativePosition = SnapBeginning;
    float m_absolutePosition = 0;
    int m_hiddenIndex = 0;
    int m_orientation = SnapVertical;
    bool m_belongsToParentView = false;
    bool m_belongsToSnapView = false;
};

// One current snap: which edge of the moving frame holds to which line, and the frame the moving elements take.
struct SnapConnection {
    int connectedFrom = SnapBeginning;
    std::shared_ptr<SnappingGridLine> connectedTo;
    QRectF snappedFrame;
};
