#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

#include "creator/snapping/SnappingGridLine.h"

class SnappingGrid;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// The snapping constants, the application's one grid, the user's on/off choice and the grid's building steps.
class SnappingUtils {
public:
    static int snapDistance() { return 6; }
    static int minimumDistanceBetweenSnapGridLines() { return 1; }
    static int pointsToPixelsScale() { return 1; }
    static float currentDeviceFactorToAdjustForEdges() { return 1.0f; }
    // Every caller builds the grid for an art board of this many points in each direction.
    static constexpr int kArtboardMaxSize = 30000;

    static SnappingGrid& sharedSnappingGrid();
    static bool defaultSnappingIsDisabled();
    // Logs the toggle, switches the shared grid and keeps the choice in the user defaults.
    static void setDefaultSnappingDisabled(bool disabled);

    // Beginning c, Middle c + (s - 1) / 2, End c + s - 1, rounded down to a whole number.
    static float getAbsolutePositionFromContentFrame(const QRectF& frame, int orientation, int relativePosition);

    // Pixel size of an image file as shown, remembered per path; zero when unreadable.
    static QSizeF imageSizeFromFilepathString(const QString& path);

    static QString sparseArrayDescription(const std::vector<std::shared_ptr<SnappingGridLine>>& array);

    // Resets the grid for a screen: the model offset and emptied (or new) line sets of the given size.
    static void initializeSnappingGrid(SnappingGrid& grid, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       const QSizeF& artboardMaxSize);
    // Fills the grid's lines for a gesture on `elements`: change type 1 for moves, anything else for resizes.
    static void modelSnapping_setupSnappingGrid(
        SnappingGrid& grid, const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& elements, int changeType);
    static void addSnappingGridLinesForParentSize(const QSizeF& size, SnappingGrid& grid);
    static void addSnappingGridLinesForMixedMediaObjectFrame(const QRectF& frame, SnappingGrid& grid);
};
