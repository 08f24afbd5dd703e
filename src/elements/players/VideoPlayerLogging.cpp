#include "elements/players/VideoPlayerLogging.h"

Q_LOGGING_CATEGORY(lcVideoPlayer, "tess.elements.players.video", QtInfoMsg)
