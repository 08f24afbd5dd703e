#include "library/LibraryLogging.h"

Q_LOGGING_CATEGORY(lcLibrary, "tess.library", QtInfoMsg)
