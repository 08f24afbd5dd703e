#pragma once

// Registers the inspector's panels with the creator window. Called from main() after registerCreatorLibrary(),
// and by tests.
void registerInspectorLibrary();
