#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "platform/Error.h"

class QWidget;
class ZERI_TessarineModel;

// The viewer library's output commands, as the creator's and the viewer's windows call them. Main thread only.
namespace ViewerOutput {

// Writes `document` as a PDF file at `path` (a local path or file URL); `onDone` runs once on the main thread,
// with an empty error on success.
void exportDocumentToPDF(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& path, bool includeGallery,
                         std::function<void(const Error&)> onDone);

// Fetches what the PDF of `document` draws that is not on this computer (OutputPictures::fetchThen), then runs
// `proceed`; nothing runs when the user cancels.
void fetchPicturesForExport(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document, bool includeGallery,
                            std::function<void()> proceed);

// Fetches what the pages of `document` draw that is not on this computer (OutputPictures::fetchThen), then shows
// the print dialog modal to `window` and prints what the user chooses.
void printDocument(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document);

} // namespace ViewerOutput
