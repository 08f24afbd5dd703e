#include "viewer/previews/ViewerPreviewsLibrary.h"

#include "tessarine_data_model/ScreenPreviewProvider.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"

void registerViewerPreviewsLibrary()
{
    ScreenPreviewProvider::registerFactory([] { return std::make_unique<QVRScreenPreviewGenerator>(); });
}
