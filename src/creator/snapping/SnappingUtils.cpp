#include "creator/snapping/SnappingUtils.h"

#include "app/QVRAnalytics.h"
#include "creator/snapping/SnappingGrid.h"
#include "platform/UserDefaults.h"
#include "storage/MixedMediaObjectStorage.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

#include <QStringList>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

const QString kSnappingDisabledKey = QStringLiteral("FuckinMagnetsHowDoTheyWork?");

std::shared_ptr<SnappingGridLine> makeLine(float position, int relativePosition, bool parent)
{
    auto line = std::make_shared<SnappingGridLine>();
    line->setAbsolutePosition(position);
    line->setRelativePosition(relativePosition);
    line->setBelongsToParentView(parent);
    return line;
}

} // namespace

SnappingGrid& SnappingUtils::sharedSnappingGrid()
{
    static SnappingGrid* grid = [] {
        auto* created = new SnappingGrid;
        created->setSnappingIsDisabled(defaultSnappingIsDisabled());
        return created;
    }();
    return *grid;
}

bool SnappingUtils::defaultSnappingIsDisabled()
{
    return UserDefaults::standard().boolValue(kSnappingDisabledKey);
}

void SnappingUtils::setDefaultSnappingDisabled(bool disabled)
{
    QVRAnalytics::logEvent(
        QStringLiteral("Snap Guides Toggled"),
        {{QStringLiteral("Toggle Result"), disabled ? QStringLiteral("Disabled") : QStringLiteral("Enabled")}});
    sharedSnappingGrid().setSnappingIsDisabled(disabled);
    UserDefaults::standard().setValue(kSnappingDisabledKey, disabled);
}

float SnappingUtils::getAbsolutePositionFromContentFrame(const QRectF& frame, int orientation, int relativePosition)
{
    const float c = float(orientation == SnapVertical ? frame.x() : frame.y());
    const float s = float(orientation == SnapVertical ? frame.width() : frame.height());
    const float edge = currentDeviceFactorToAdjustForEdges();
    float value = c;
    if (relativePosition == SnapMiddle)
        value = c + (s - edge) * 0.5f;
    else if (relativePosition != SnapBeginning)
        value = c + s - edge;
    const float factor = float(pointsToPixelsScale());
    return std::floor(value * factor) / factor;
}

QString SnappingUtils::sparseArrayDescription(const std::vector<std::shared_ptr<SnappingGridLine>>& array)
{
    QStringList parts;
    size_t i = 0;
    while (i < array.size()) {
        if (array[i]) {
            parts << array[i]->description();
            ++i;
            continue;
        }
        size_t run = 0;
        while (i + run < array.size() && !array[i + run])
            ++run;
        if (run <= 2) {
            for (size_t k = 0; k < run; ++k)
                parts << QStringLiteral("0");
        } else {
            parts << QStringLiteral("0")
                  << QStringLiteral("%1not showing %2 indices%3")
                         .arg(QStringLiteral("..."))
                         .arg(run - 2)
                         .arg(QStringLiteral("..."))
                  << QStringLiteral("0");
        }
        i += run;
    }
    return QStringLiteral("(\n    %1\n)").arg(parts.join(QStringLiteral(",\n    ")));
}

void SnappingUtils::initializeSnappingGrid(SnappingGrid& grid, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                           const QSizeF& artboardMaxSize)
{
    grid.m_isTrackingChanges = false;
    grid.m_screen = screen;
    float minX = FLT_MAX, minY = FLT_MAX;
    if (screen) {
        for (const auto& proxy : screen->mixedMediaObjects()) {
            if (!proxy || !proxy->object())
                continue;
            minX = std::min(minX, float((*proxy)->frame().x()));
            minY = std::min(minY, float((*proxy)->frame().y()));
        }
    }
    // Floored, so that an object at a fractional negative origin still has its Beginning line at slot 0.
    const float scale = float(pointsToPixelsScale());
    const float offsetX = std::floor(std::min(minX, 0.0f) * scale);
    const float offsetY = std::floor(std::min(minY, 0.0f) * scale);
    const int height = int(std::trunc(artboardMaxSize.height() * double(scale)));
    const int width = int(std::trunc(artboardMaxSize.width() * double(scale)));
    if (grid.m_horizontal && grid.m_horizontal->size() == height)
        grid.m_horizontal->empty();
    else
        grid.m_horizontal = std::make_unique<SnappingGridLineSet>(SnapHorizontal, height);
    if (grid.m_vertical && grid.m_vertical->size() == width)
        grid.m_vertical->empty();
    else
        grid.m_vertical = std::make_unique<SnappingGridLineSet>(SnapVertical, width);
    grid.m_modelOffset = QPointF(double(offsetX), double(offsetY));
}

void SnappingUtils::modelSnapping_setupSnappingGrid(
    SnappingGrid& grid, const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& elements, int changeType)
{
    grid.setTrackedElements(elements);
    grid.m_snappedVertical.reset();
    grid.m_snappedHorizontal.reset();
    const auto screen = grid.currentScreenModel();
    if (!screen || !grid.m_vertical || !grid.m_horizontal)
        return;
    addSnappingGridLinesForParentSize(screen->screenSize(), grid);
    if (changeType != 1) {
        grid.m_setupZoomScale = 0;
        grid.m_setupZoomOffset = QSizeF();
        if (elements.size() == 1 && elements.front() && elements.front()->object()) {
            grid.m_setupZoomScale = (*elements.front())->zoomScale().value_or(0.0);
            grid.m_setupZoomOffset = (*elements.front())->zoomOffset();
        }
    }
    for (const auto& proxy : screen->mixedMediaObjects()) {
        if (!proxy || !proxy->object() || std::find(elements.begin(), elements.end(), proxy) != elements.end())
            continue;
        addSnappingGridLinesForMixedMediaObjectFrame((*proxy)->frame(), grid);
    }
}

void SnappingUtils::addSnappingGridLinesForParentSize(const QSizeF& size, SnappingGrid& grid)
{
    const float ox = float(grid.m_modelOffset.x());
    const float oy = float(grid.m_modelOffset.y());
    const float w = float(size.width());
    const float h = float(size.height());
    const float edge = currentDeviceFactorToAdjustForEdges();
    grid.addGridLineToVerticalSet(makeLine(0 - ox, SnapBeginning, true));
    grid.addGridLineToVerticalSet(makeLine(std::floor((w - edge) * 0.5f) - ox, SnapMiddle, true));
    grid.addGridLineToVerticalSet(makeLine(std::floor(w - edge) - ox, SnapEnd, true));
    grid.addGridLineToHorizontalSet(makeLine(0 - oy, SnapBeginning, true));
    grid.addGridLineToHorizontalSet(makeLine(std::floor((h - edge) * 0.5f) - oy, SnapMiddle, true));
    grid.addGridLineToHorizontalSet(makeLine(std::floor(h - edge) - oy, SnapEnd, true));
}

void SnappingUtils::addSnappingGridLinesForMixedMediaObjectFrame(const QRectF& frame, SnappingGrid& grid)
{
    const float ox = float(grid.m_modelOffset.x());
    const float oy = float(grid.m_modelOffset.y());
    for (int edge : {SnapBeginning, SnapMiddle, SnapEnd})
        grid.addGridLineToVerticalSet(
            makeLine(getAbsolutePositionFromContentFrame(frame, SnapVertical, edge) - ox, edge, false));
    for (int edge : {SnapBeginning, SnapMiddle, SnapEnd})
        grid.addGridLineToHorizontalSet(
            makeLine(getAbsolutePositionFromContentFrame(frame, SnapHorizontal, edge) - oy, edge, false));
}

QSizeF SnappingUtils::imageSizeFromFilepathString(const QString& path)
{
    return MixedMediaObjectStorage::imageSizeOfFile(path);
}
