#pragma once

// Registers the inspector's parts with the creator. Called from main() after registerCreatorLibrary(); tests call
// it too.
void registerInspectorLibrary();
