#pragma once

// Removes what imports of an ended process left behind, and registers what the PowerPoint import provides: the
// application menu's "importPowerpoint" command (a new overview window each time), the font replacement question and
// the typefaces the font catalogue offers.
void registerPptxLibrary();
