#include "gestures/GesturesLogging.h"

Q_LOGGING_CATEGORY(lcGestures, "tess.gestures", QtWarningMsg)
