#pragma once

// Registers what the PowerPoint import provides: the application menu's "importPowerpoint" command.
void registerPptxLibrary();
