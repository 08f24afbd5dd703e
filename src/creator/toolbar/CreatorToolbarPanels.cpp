#include "creator/toolbar/CreatorToolbarPanels.h"

CreatorToolbarPanels& CreatorToolbarPanels::shared()
{
    static CreatorToolbarPanels panels;
    return panels;
}
