#include "controls/ControlsLogging.h"

Q_LOGGING_CATEGORY(lcControls, "tess.controls", QtWarningMsg)
