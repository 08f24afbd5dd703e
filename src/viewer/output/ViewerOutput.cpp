#include "viewer/output/ViewerOutput.h"

#include "viewer/output/QVR_PrintManager.h"

void ViewerOutput::printDocument(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document)
{
    QVR_PrintManager::printModel(document, window);
}
