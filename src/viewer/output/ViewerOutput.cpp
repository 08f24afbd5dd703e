#include "viewer/output/ViewerOutput.h"

#include <QPointer>
#include <QWidget>

#include "strings/UFM.h"
#include "viewer/output/OutputPictures.h"
#include "viewer/output/QVR_PrintManager.h"

void ViewerOutput::printDocument(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document)
{
    // Every picture the screens show, the galleries' pictures and the PDFs the pages may add come first.
    QPointer<QWidget> owner(window);
    OutputPictures::fetchThen(window, document, true, true, UFM::PRINT_ANYWAY_TEXT(),
                              [owner, document] { QVR_PrintManager::printModel(document, owner); });
}

void ViewerOutput::fetchPicturesForExport(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document,
                                          bool includeGallery, std::function<void()> proceed)
{
    OutputPictures::fetchThen(window, document, includeGallery, false, UFM::EXPORT_ANYWAY_TEXT(), std::move(proceed));
}
