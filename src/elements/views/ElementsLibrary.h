#pragma once

// Registers what the element library provides to libraries linked before it: the documents' video compression
// manager (the document model's seam) and the application shell's video-compression hooks (whether a
// re-encoding runs, and cancelling them all). main() calls it before the application starts; tests call it
// too. Calling it again is harmless.
void registerElementsLibrary();
