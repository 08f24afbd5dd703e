#include "foundation/FoundationLogging.h"

Q_LOGGING_CATEGORY(lcFoundation, "tess.foundation", QtWarningMsg)
