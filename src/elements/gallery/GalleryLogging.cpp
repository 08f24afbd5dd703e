#include "elements/gallery/GalleryLogging.h"

Q_LOGGING_CATEGORY(lcGallery, "tess.elements.gallery", QtWarningMsg)
