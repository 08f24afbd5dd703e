#include "platform/PlatformLogging.h"

Q_LOGGING_CATEGORY(lcPlatform, "tess.platform", QtWarningMsg)
