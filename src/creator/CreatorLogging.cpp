#include "creator/CreatorLogging.h"

Q_LOGGING_CATEGORY(lcCreator, "tess.creator", QtWarningMsg)
