#include "inspector/InspectorLibrary.h"

#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/panels/XYPalettePanel.h"

void registerInspectorLibrary()
{
    CreatorInspectorFactories::shared().positionPalette = makeXYPalettePanel;
}
