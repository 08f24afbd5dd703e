#include "elements/video/VideoLogging.h"

Q_LOGGING_CATEGORY(lcVideo, "tess.elements.video", QtWarningMsg)
