#include "strings/StringsLogging.h"

Q_LOGGING_CATEGORY(lcStrings, "tess.strings", QtWarningMsg)
