#include "elements/images/ImagesLogging.h"

Q_LOGGING_CATEGORY(lcImages, "tess.elements.images", QtWarningMsg)
