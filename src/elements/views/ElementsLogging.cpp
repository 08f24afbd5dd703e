#include "elements/views/ElementsLogging.h"

Q_LOGGING_CATEGORY(lcElements, "tess.elements", QtWarningMsg)
