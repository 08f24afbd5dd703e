#include "elements/players/ElementsPlayersLibrary.h"

#include "elements/players/QVR_AVPlayerVideoPlayingControlsView.h"

void registerElementsPlayersLibrary()
{
    QVR_AVPlayerVideoPlayingControlsView::registerNib();
}
