#include "creator/snapping/SnappingGrid.h"

#include "creator/CreatorLogging.h"
#include "creator/snapping/SnappingUtils.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

float coordinate(const QRectF& frame, int orientation)
{
    return float(orientation == SnapVertical ? frame.x() : frame.y());
}

float extent(const QRectF& frame, int orientation)
{
    return float(orientation == SnapVertical ? frame.width() : frame.height());
}

float farEdge(const QRectF& frame, int orientation)
{
    return float(orientation == SnapVertical ? frame.x() + frame.width() : frame.y() + frame.height());
}

float offsetComponent(const QPointF& offset, int orientation)
{
    return float(orientation == SnapVertical ? offset.x() : offset.y());
}

QRectF withCoordinate(QRectF frame, int orientation, double value)
{
    if (orientation == SnapVertical)
        frame.moveLeft(value);
    else
        frame.moveTop(value);
    return frame;
}

int directionComponent(const QPointF& direction, int orientation)
{
    const float d = float(orientation == SnapVertical ? direction.x() : direction.y());
    if (d == 0 || std::isnan(d))
        return 0;
    return d > 0 ? 1 : -1;
}

int slotOf(const QRectF& gridFrame, int orientation, int relativePosition)
{
    return int(
        std::trunc(SnappingUtils::getAbsolutePositionFromContentFrame(gridFrame, orientation, relativePosition)));
}

} // namespace

SnapRange SnappingGrid::validRangeForDirection(int direction, int location, int length, int maxSize)
{
    // Behind the edge the window mirrors the one ahead: the six slots next to it, as far as a snap holds.
    if (direction < 0) {
        location += length + 1;
        length = -length;
    }
    if (location < 0) {
        length += location;
        location = 0;
    }
    if (location + length > maxSize)
        length = maxSize - location;
    return {location, std::max(length, 0)};
}

void SnappingGrid::setTrackedElements(const std::vector<Proxy>& elements)
{
    // Every gesture hands over a fresh list, so the starting frame is taken each time, even for the same objects.
    m_trackedElements = elements;
    m_initialElementsFrame = frameForTrackedElements();
}

std::vector<SnappingGrid::Proxy> SnappingGrid::liveTrackedElements() const
{
    std::vector<Proxy> live;
    const auto screen = m_screen.lock();
    for (const auto& proxy : m_trackedElements) {
        if (proxy && proxy->object() && screen && (*proxy)->parentFlowScreenModel() == screen)
            live.push_back(proxy);
    }
    return live;
}

QRectF SnappingGrid::frameForTrackedElements() const
{
    const auto live = liveTrackedElements();
    if (live.empty())
        return {};
    if (live.size() == 1)
        return (*live.front())->frame();
    // The far edges start from the lowest float, so that objects wholly above or left of the screen (negative
    // edges) still bound the box.
    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    for (const auto& proxy : live) {
        const QRectF f = (*proxy)->frame();
        minX = std::min(minX, float(f.x()));
        minY = std::min(minY, float(f.y()));
        maxX = std::max(maxX, float(f.x() + f.width()));
        maxY = std::max(maxY, float(f.y() + f.height()));
    }
    return QRectF(minX, minY, double(maxX - minX), double(maxY - minY));
}

void SnappingGrid::addGridLine(SnappingGridLineSet* set, const Line& line)
{
    if (!set || !line)
        return;
    const int p = int(std::trunc(line->absolutePosition() * float(SnappingUtils::pointsToPixelsScale())));
    if (!set->index(p, SnappingUtils::minimumDistanceBetweenSnapGridLines(), SnappingUtils::pointsToPixelsScale()))
        set->addGridLine(line, p);
}

void SnappingGrid::addGridLineToVerticalSet(const Line& line)
{
    addGridLine(m_vertical.get(), line);
}

void SnappingGrid::addGridLineToHorizontalSet(const Line& line)
{
    addGridLine(m_horizontal.get(), line);
}

SnappingGrid::Line SnappingGrid::checkForLineToWhichToSnapForTranslationWithFrame(const QRectF& frame, int direction,
                                                                                  int orientation,
                                                                                  int* outGoingRelativePosition) const
{
    const SnappingGridLineSet* set = gridLineSetForOrientation(orientation);
    if (!set || direction == 0)
        return nullptr;
    const QRectF gridFrame = frame.translated(-m_modelOffset);
    const int window = SnappingUtils::snapDistance() * direction * SnappingUtils::pointsToPixelsScale();
    Line candidates[3];
    int distances[3] = {0, 0, 0};
    for (int edge : {SnapBeginning, SnapMiddle, SnapEnd}) {
        const int p = slotOf(gridFrame, orientation, edge) + direction;
        const SnapRange range = validRangeForDirection(direction, p, window, set->size());
        candidates[edge] = set->gridLineWithinRange(range, direction, edge == SnapMiddle);
        if (candidates[edge])
            distances[edge] = std::abs(candidates[edge]->hiddenIndexForDebugPurposes() - p);
    }
    // Ties go Middle, then Beginning, then End.
    Line best;
    int bestDistance = 100;
    int bestEdge = SnapBeginning;
    for (int edge : {SnapMiddle, SnapBeginning, SnapEnd}) {
        if (candidates[edge] && (!best || distances[edge] < bestDistance)) {
            best = candidates[edge];
            bestDistance = distances[edge];
            bestEdge = edge;
        }
    }
    if (best && outGoingRelativePosition)
        *outGoingRelativePosition = bestEdge;
    return best;
}

SnappingGrid::Connection SnappingGrid::checkForSnapConnectionWithFrame(const QRectF& frame, int orientation,
                                                                       const QPointF& direction) const
{
    const int dir = directionComponent(direction, orientation);
    // A frame without extent along this axis is not snapped on it.
    if (dir == 0 || !(extent(frame, orientation) > 0))
        return nullptr;
    int edge = SnapBeginning;
    const Line line = checkForLineToWhichToSnapForTranslationWithFrame(frame, dir, orientation, &edge);
    if (!line)
        return nullptr;
    const float a = line->absolutePosition();
    const float s = extent(frame, orientation);
    const float endAdjust =
        line->relativePosition() == SnapEnd ? SnappingUtils::currentDeviceFactorToAdjustForEdges() : 0.0f;
    float n = 0;
    switch (edge) {
    case SnapEnd:
        n = a - s + endAdjust;
        break;
    case SnapMiddle: {
        const int whole = int(std::trunc(s));
        const int h = whole / 2 - (whole % 2 == 0 ? 1 : 0);
        n = a - float(h);
        break;
    }
    default:
        n = a + endAdjust;
        break;
    }
    auto connection = std::make_shared<SnapConnection>();
    connection->connectedFrom = edge;
    connection->connectedTo = line;
    connection->snappedFrame =
        withCoordinate(frame, orientation, double(n + offsetComponent(m_modelOffset, orientation)));
    return connection;
}

SnappingGrid::Line SnappingGrid::checkForLineToWhichToSnapForResizingWithFrame(const QRectF& frame,
                                                                               int relativePosition, int direction,
                                                                               int orientation) const
{
    const SnappingGridLineSet* set = gridLineSetForOrientation(orientation);
    if (!set || direction == 0)
        return nullptr;
    const QRectF gridFrame = frame.translated(-m_modelOffset);
    const int p = slotOf(gridFrame, orientation, relativePosition) + direction;
    const SnapRange range = validRangeForDirection(
        direction, p, SnappingUtils::snapDistance() * direction * SnappingUtils::pointsToPixelsScale(), set->size());
    return set->gridLineWithinRange(range, direction, false);
}

SnappingGrid::Connection SnappingGrid::checkForSnapConnectionForResizingWithFrame(const QRectF& frame,
                                                                                  int relativePosition, int orientation,
                                                                                  const QPointF& direction) const
{
    const int dir = directionComponent(direction, orientation);
    if (dir == 0 || !(extent(frame, orientation) > 0))
        return nullptr;
    const Line line = checkForLineToWhichToSnapForResizingWithFrame(frame, relativePosition, dir, orientation);
    if (!line)
        return nullptr;
    const float a = line->absolutePosition();
    float k = relativePosition == SnapBeginning ? a - coordinate(frame, orientation) : a - farEdge(frame, orientation);
    if (line->relativePosition() == SnapEnd)
        k += SnappingUtils::currentDeviceFactorToAdjustForEdges();
    const double shift = double(k + offsetComponent(m_modelOffset, orientation));
    QRectF snapped = frame;
    if (orientation == SnapVertical) {
        if (relativePosition == SnapBeginning)
            snapped.setLeft(frame.left() + shift);
        else
            snapped.setWidth(frame.width() + shift);
    } else {
        if (relativePosition == SnapBeginning)
            snapped.setTop(frame.top() + shift);
        else
            snapped.setHeight(frame.height() + shift);
    }
    auto connection = std::make_shared<SnapConnection>();
    connection->connectedFrom = relativePosition;
    connection->connectedTo = line;
    connection->snappedFrame = snapped;
    return connection;
}

SnappingGrid::Connection SnappingGrid::snapConnectionForFrame(const QRectF& frame, int orientation) const
{
    const SnappingGridLineSet* set = gridLineSetForOrientation(orientation);
    if (!set || !(extent(frame, orientation) > 0))
        return nullptr;
    const QRectF gridFrame = frame.translated(-m_modelOffset);
    auto make = [&](int from, const Line& line) {
        auto connection = std::make_shared<SnapConnection>();
        connection->connectedFrom = from;
        connection->connectedTo = line;
        connection->snappedFrame = frame;
        return connection;
    };
    if (Line line = set->gridLineAtPosition(slotOf(gridFrame, orientation, SnapBeginning));
        line && line->relativePosition() != SnapMiddle)
        return make(SnapBeginning, line);
    if (Line line = set->gridLineAtPosition(slotOf(gridFrame, orientation, SnapMiddle));
        line && line->relativePosition() == SnapMiddle)
        return make(SnapMiddle, line);
    if (Line line = set->gridLineAtPosition(slotOf(gridFrame, orientation, SnapEnd))) {
        if (line->relativePosition() == SnapEnd)
            return make(SnapEnd, line);
        if (line->relativePosition() == SnapMiddle)
            return nullptr;
    }
    const QRectF grown(gridFrame.x(), gridFrame.y(), gridFrame.width() + 1, gridFrame.height() + 1);
    if (Line line = set->gridLineAtPosition(slotOf(grown, orientation, SnapEnd));
        line && line->relativePosition() == SnapBeginning)
        return make(SnapEnd, line);
    return nullptr;
}

void SnappingGrid::moveTracked(int orientation, float amount)
{
    if (amount == 0)
        return;
    for (const auto& proxy : liveTrackedElements()) {
        const QRectF f = (*proxy)->frame();
        (*proxy)->setFrame(orientation == SnapVertical ? f.translated(double(amount), 0)
                                                       : f.translated(0, double(amount)));
    }
}

void SnappingGrid::sendUpdates()
{
    for (const auto& proxy : liveTrackedElements())
        proxy->updateNotifier().sendUpdateNotificationsIfNeeded();
}

void SnappingGrid::modelSnapping_handleTranslation(const QPointF& translation, bool disconnectBeforeSnapDistance)
{
    if (m_snappingIsDisabled || liveTrackedElements().empty())
        return;
    if (!m_isTrackingChanges) {
        m_isTrackingChanges = true;
        m_snappedVertical = snapConnectionForFrame(m_initialElementsFrame, SnapVertical);
        m_snappedHorizontal = snapConnectionForFrame(m_initialElementsFrame, SnapHorizontal);
        m_lastTranslation = QPointF();
    }
    const QPointF direction = translation - m_lastTranslation;
    m_lastTranslation = translation;
    const QRectF frame = frameForTrackedElements();
    for (int orientation : {SnapVertical, SnapHorizontal}) {
        Connection& current = orientation == SnapVertical ? m_snappedVertical : m_snappedHorizontal;
        const Connection found = checkForSnapConnectionWithFrame(frame, orientation, direction);
        if (found && (!current || found->connectedTo != current->connectedTo)) {
            current = found;
            moveTracked(orientation, coordinate(found->snappedFrame, orientation) - coordinate(frame, orientation));
        } else if (current) {
            const float drift = coordinate(frame, orientation) - coordinate(current->snappedFrame, orientation);
            if (std::fabs(drift) > float(SnappingUtils::snapDistance()) || disconnectBeforeSnapDistance)
                current.reset();
            else
                moveTracked(orientation, -drift);
        }
    }
    sendUpdates();
}

void SnappingGrid::modelSnapping_handleResize(const QPointF&, int cursorPosition, int resizeType)
{
    if (m_snappingIsDisabled)
        return;
    if (!m_isTrackingChanges) {
        m_isTrackingChanges = true;
        m_snappedVertical = snapConnectionForFrame(m_initialElementsFrame, SnapVertical);
        m_snappedHorizontal = snapConnectionForFrame(m_initialElementsFrame, SnapHorizontal);
        m_lastElementsFrame = m_initialElementsFrame;
    }
    const auto live = liveTrackedElements();
    if (live.size() != 1) {
        qCWarning(lcCreator).noquote() << QStringLiteral("WTF HOW ARE WE RESIZING %1 ELEMENTS?").arg(live.size());
        return;
    }
    resizeStep(cursorPosition, resizeType);
    live.front()->updateNotifier().sendUpdateNotificationsIfNeeded();
}

void SnappingGrid::resizeStep(int cursorPosition, int resizeType)
{
    const auto live = liveTrackedElements();
    ZERI_MixedMediaObject& element = *live.front()->object();
    const QRectF frame = element.frame();
    const QRectF last = m_lastElementsFrame;
    m_lastElementsFrame = frame;
    const auto in = [cursorPosition](std::initializer_list<int> set) {
        return std::find(set.begin(), set.end(), cursorPosition) != set.end();
    };
    int xEdge = SnapMiddle, yEdge = SnapMiddle;
    double xDirection = 0, yDirection = 0;
    if (in({0, 3, 4})) {
        xEdge = SnapBeginning;
        xDirection = frame.x() - last.x();
    } else if (in({1, 2, 5})) {
        xEdge = SnapEnd;
        xDirection = frame.width() - last.width();
    }
    if (in({0, 1, 6})) {
        yEdge = SnapBeginning;
        yDirection = frame.y() - last.y();
    } else if (in({2, 3, 7})) {
        yEdge = SnapEnd;
        yDirection = frame.height() - last.height();
    }
    const QPointF direction(xDirection, yDirection);
    Connection cv = checkForSnapConnectionForResizingWithFrame(frame, xEdge, SnapVertical, direction);
    Connection ch = checkForSnapConnectionForResizingWithFrame(frame, yEdge, SnapHorizontal, direction);

    // Distance in model units between the moving edge and a connection's line.
    const auto edgeDistance = [&](const Connection& c, int orientation) {
        const int edge = orientation == SnapVertical ? xEdge : yEdge;
        const float e = edge == SnapBeginning ? coordinate(frame, orientation) : farEdge(frame, orientation);
        return std::fabs(e - (c->connectedTo->absolutePosition() + offsetComponent(m_modelOffset, orientation)));
    };
    const float distanceLimit = float(SnappingUtils::snapDistance());

    if (resizeType != 1) {
        if (resizeType == 2) {
            m_snappedHorizontal.reset();
            ch.reset();
        }
        QRectF result = frame;
        const bool newVertical = bool(cv);
        const bool newHorizontal = bool(ch);
        if (cv) {
            m_snappedVertical = cv;
            result.setX(cv->snappedFrame.x());
            result.setWidth(cv->snappedFrame.width());
        }
        if (ch) {
            m_snappedHorizontal = ch;
            result.setY(ch->snappedFrame.y());
            result.setHeight(ch->snappedFrame.height());
        }
        if (m_snappedVertical && !newVertical) {
            if (edgeDistance(m_snappedVertical, SnapVertical) > distanceLimit) {
                m_snappedVertical.reset();
            } else {
                result.setX(m_snappedVertical->snappedFrame.x());
                result.setWidth(m_snappedVertical->snappedFrame.width());
            }
        }
        if (m_snappedHorizontal && !newHorizontal) {
            if (edgeDistance(m_snappedHorizontal, SnapHorizontal) > distanceLimit) {
                m_snappedHorizontal.reset();
            } else {
                result.setY(m_snappedHorizontal->snappedFrame.y());
                result.setHeight(m_snappedHorizontal->snappedFrame.height());
            }
        }
        element.setFrame(result);
        return;
    }

    // Proportional: one axis snaps, the other follows the initial aspect ratio.
    const float initialWidth = float(m_initialElementsFrame.width());
    const float initialHeight = float(m_initialElementsFrame.height());
    const float ratio = initialWidth == 0 || initialHeight == 0 ? 1.0f : initialWidth / initialHeight;
    Connection kept;
    if (cv && ch)
        kept = edgeDistance(cv, SnapVertical) > edgeDistance(ch, SnapHorizontal) ? ch : cv;
    else
        kept = cv ? cv : ch;
    if (kept) {
        const bool vertical = kept->connectedTo->orientation() == SnapVertical;
        m_snappedVertical = vertical ? kept : nullptr;
        m_snappedHorizontal = vertical ? nullptr : kept;
        qCDebug(lcCreator).noquote()
            << QStringLiteral("resizeType is maintainProportion and I should be connecting to:%1  snapLine:%2")
                   .arg(quintptr(kept.get()), 0, 16)
                   .arg(kept->connectedTo->description());
    } else if (m_snappedVertical) {
        m_snappedHorizontal.reset();
        if (edgeDistance(m_snappedVertical, SnapVertical) > distanceLimit)
            m_snappedVertical.reset();
        else
            kept = m_snappedVertical;
    } else if (m_snappedHorizontal) {
        m_snappedVertical.reset();
        if (edgeDistance(m_snappedHorizontal, SnapHorizontal) > distanceLimit)
            m_snappedHorizontal.reset();
        else
            kept = m_snappedHorizontal;
    }
    if (kept) {
        QRectF result = frame;
        if (kept->connectedTo->orientation() == SnapHorizontal) {
            result.setY(kept->snappedFrame.y());
            result.setHeight(kept->snappedFrame.height());
            const float width = ratio * float(result.height());
            const float grow = width - float(frame.width());
            result.setWidth(double(width));
            result.moveLeft(xEdge == SnapBeginning ? frame.x() - double(grow)
                            : xEdge == SnapEnd     ? frame.x()
                                                   : frame.x() - double(grow / 2));
        } else {
            result.setX(kept->snappedFrame.x());
            result.setWidth(kept->snappedFrame.width());
            const float height = float(result.width()) / ratio;
            const float grow = height - float(frame.height());
            result.setHeight(double(height));
            result.moveTop(yEdge == SnapBeginning ? frame.y() - double(grow)
                           : yEdge == SnapEnd     ? frame.y()
                                                  : frame.y() - double(grow / 2));
        }
        element.setFrame(result);
    }
    if (m_setupZoomScale != 0 && initialWidth != 0) {
        const float factor = float(element.frame().width()) / initialWidth;
        element.setZoomScale(m_setupZoomScale * double(factor));
        element.setZoomOffset(
            QSizeF(m_setupZoomOffset.width() * double(factor), m_setupZoomOffset.height() * double(factor)));
    }
}
