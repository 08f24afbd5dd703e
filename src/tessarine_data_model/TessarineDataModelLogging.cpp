#include "tessarine_data_model/TessarineDataModelLogging.h"

Q_LOGGING_CATEGORY(lcTessarineDataModel, "tess.tessarine_data_model", QtWarningMsg)
