#pragma once

// Registers the inspector's parts with the creator: the object popovers, the side menu, palettes, sheets and
// editors. Called from main() after registerCreatorLibrary(); tests call it too.
void registerInspectorLibrary();
