#include "elements/audio/AudioLogging.h"

Q_LOGGING_CATEGORY(lcAudio, "tess.elements.audio", QtWarningMsg)
