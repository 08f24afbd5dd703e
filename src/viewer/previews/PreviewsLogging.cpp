#include "viewer/previews/PreviewsLogging.h"

Q_LOGGING_CATEGORY(lcPreviews, "tess.previews", QtInfoMsg)
