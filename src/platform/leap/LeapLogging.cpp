#include "platform/leap/LeapLogging.h"

Q_LOGGING_CATEGORY(lcLeap, "tess.platform.leap", QtWarningMsg)
