#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QString>

#include "storage/PictureFetch.h"

class QWidget;
class ZERI_TessarineModel;

// What Export PDF and Print need on disk before they draw, so that no output silently differs from the screen:
// the picture of every object of the first flow's screens (ObjectPicture), and, for the pages an output adds, the
// galleries' pictures and the PDF files. Main thread only.
namespace OutputPictures {

// The files `document`'s output needs that are not on this computer, each with the places it may come from.
std::vector<PictureFetch::Places> wanted(const ZERI_TessarineModel& document, bool galleryPages, bool pdfPages);
// Numbers (from 1) of the first flow's screens with an object that lacks its picture.
QList<int> screensLackingPictures(const ZERI_TessarineModel& document);

// Runs `proceed` once the files are on disk: at once when nothing is missing; else after fetching them with the
// download panel (progress, Cancel) shown modal to `window`. When some cannot be fetched (offline, gone from the
// service) the user is told which screens lack pictures and chooses between going on (`goOnButton`) and Cancel.
// Cancel in either leaves `proceed` uncalled.
void fetchThen(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document, bool galleryPages, bool pdfPages,
               const QString& goOnButton, std::function<void()> proceed);

} // namespace OutputPictures
