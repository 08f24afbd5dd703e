#pragma once

// Registers what the players library provides to the rest of the application: the interface file of the full-window
// video player's controls. The viewer opens the player itself with QVR_AVPlayerVideoPlayingView::presentOverView.
// Called once from main() in link order, and by tests.
void registerElementsPlayersLibrary();
