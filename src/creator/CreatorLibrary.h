#pragma once

// Registers what the creator provides to the libraries before it: the window manager's creator window
// factory and the creator's menu performers. Called once by main() after the earlier libraries' functions, and
// by tests; calling it again replaces the same registrations.
void registerCreatorLibrary();
