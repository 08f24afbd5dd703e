#pragma once

#include <memory>

#include <QImage>

class QGraphicsScene;
class ZERI_FlowScreenModel;

// A screen shown through element views: one view per object, back to front, each at its object's frame, over
// the screen's background colour (white when it has none), in a scene whose rectangle is the screen in points.
// The render tool, the benchmarks and the tests use it; the editor and the player place their views inside
// element containers instead.
namespace ScreenScene {

// Adds the screen's views to `scene` and sets its rectangle and background.
void populate(QGraphicsScene& scene, const std::shared_ptr<ZERI_FlowScreenModel>& screen);

// The scene drawn into a new standard bitmap of the screen's size × scale; null for an empty or refused size.
QImage render(QGraphicsScene& scene, double scale = 1.0);

} // namespace ScreenScene
