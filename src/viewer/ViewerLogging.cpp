#include "viewer/ViewerLogging.h"

Q_LOGGING_CATEGORY(lcViewer, "tess.viewer", QtInfoMsg)
