#pragma once

// Registers what this library provides: the screen preview generator behind the model's ScreenPreviewProvider.
// Called by the executable's main() in link order, and by tests.
void registerViewerPreviewsLibrary();
