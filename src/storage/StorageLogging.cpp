#include "storage/StorageLogging.h"

Q_LOGGING_CATEGORY(lcStorage, "tess.storage", QtWarningMsg)
