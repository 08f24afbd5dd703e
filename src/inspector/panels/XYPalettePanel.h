#pragma once

#include <memory>

#include "creator/window/CreatorInspectorInterfaces.h"

// The creator window's position and size palette.
std::unique_ptr<CreatorObjectPanel> makeXYPalettePanel(QWidget* window);
