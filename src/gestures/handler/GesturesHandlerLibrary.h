#pragma once

// Registers the gesture handler with the application shell's start-up hooks. Called by main() in link order,
// before the application starts, and by the tests.
void registerGesturesLibrary();
