#pragma once

// Registers what the library provides with the libraries before it. Called by main() in link order, before the
// application starts, and by the tests.
void registerLibraryLibrary();
