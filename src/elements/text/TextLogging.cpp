#include "elements/text/TextLogging.h"

Q_LOGGING_CATEGORY(lcText, "tess.elements.text", QtWarningMsg)
