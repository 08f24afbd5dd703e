#pragma once

#include <memory>
#include <vector>

#include <QString>

class ZERI_ContentAsset;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObject;

// Which file draws an object's picture (image, gallery, PDF, video, a text kept as a picture): the one choice the
// canvas and the player, the strip, tile and screen previews, PDF export, printing, the render tool and the
// precacher all make, so that no output shows a picture another leaves out.
namespace ObjectPicture {

struct Source {
    enum Kind { None, Cropped, Original };
    Kind kind = None;
    std::shared_ptr<ZERI_ContentAsset> asset;
    QString path; // on disk
};

// The first of these whose file is on disk (ZERI_ContentAsset::location): the cropped picture, the retina cropped
// picture (first of the two where more than one pixel falls on a point), the original picture. With
// `originalFirst` (a document output, which keeps the pixels it is handed) the original comes first. None when the
// object has no picture on this computer.
Source choose(const ZERI_MixedMediaObject& object, double pixelsPerPoint, bool originalFirst = false);

// Whether the object has a picture none of whose files is on disk.
bool lacksPicture(const ZERI_MixedMediaObject& object);
// The assets of such an object that can be fetched, in the order to try them (cropped, retina, original). Empty when
// a file is on disk or the object has no picture.
std::vector<std::shared_ptr<ZERI_ContentAsset>> missing(const ZERI_MixedMediaObject& object);

// Whether any object of the screen lacks its picture.
bool screenLacksPictures(const ZERI_FlowScreenModel& screen);

} // namespace ObjectPicture
