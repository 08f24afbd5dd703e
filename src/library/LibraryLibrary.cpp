#include "library/LibraryLibrary.h"

void registerLibraryLibrary() {}
