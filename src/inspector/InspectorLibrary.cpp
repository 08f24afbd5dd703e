#include "inspector/InspectorLibrary.h"

void registerInspectorLibrary() {}
