#include "service/ServiceLogging.h"

Q_LOGGING_CATEGORY(lcService, "tess.service", QtWarningMsg)
