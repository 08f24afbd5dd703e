#include "creator/CreatorLibrary.h"

void registerCreatorLibrary() {}
