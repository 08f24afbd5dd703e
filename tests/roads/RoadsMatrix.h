#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QTimer>

#include "roads/RoadsTestSupport.h"

class FakeWebService;
class QVRTessarineTileGridItemView;
class QVRViewerWindow;
class QVR_CreatorWindow;
class ZERI_TessarineModel;

namespace roads::matrix {

// The service's names for the two web video sites' samples.
inline constexpr const char* kYouTubeID = "Ab3_-x9Zq0Q";
inline constexpr const char* kVimeoID = "76979871";

// The fake service of this process, with Ann signed in, the web video sites' pictures and players, and a
// published document of three screens owned by Bob ("bob3") to link to and open. Started before the application.
FakeWebService* service();

// A published document on the service owned by `owner`: `screens` screens each holding a shape, and (when
// `picture`) a picture the service holds, so that opening it for viewing has media to fetch. Its string id.
QString addPublishedDocument(const QString& stringID, const QString& owner, int screens, bool picture);

// The visible creator and viewer windows.
QList<QWidget*> documentWindows();
// The visible viewer windows.
QList<QVRViewerWindow*> viewerWindows();
// The visible viewer window playing the document of string id `stringID`, or nullptr.
QVRViewerWindow* viewerShowing(const QString& stringID);
// The visible creator window editing the document of `qvdID` (or string id), or nullptr.
QVR_CreatorWindow* creatorShowing(const QString& id);

// What keeps `view` from being what the user sees and works with: empty when it shows, its window is in front
// with no dialog or popup over it, and the middle of the view belongs to the view (no loading card, sheet or
// other panel laid over it).
QString whatCovers(QWidget* view);
// Waits until the viewer plays its document's pages and the open request has laid what it lays over them.
void settledOnDocument(QVRViewerWindow* viewer);
// Whether an open request's loading view lies over `view`.
bool loadingViewOver(QWidget* view);
// The part of a window the user works in: a creator's art board, a viewer's player.
QWidget* workArea(QWidget* window);

// The tile of a package in My Documents, shown, or nullptr.
QVRTessarineTileGridItemView* tileOf(const QString& packageID);
// My Documents in front, as after a click on it; false when it did not come.
bool bringHomeWindowToFront();

// File › Open Address in the home window, `text` typed, Open.
bool openAddress(const QString& text);

// File › Publish with the details sheet answered (a title, public, Next); true once the share sheet showed and
// was closed with Done.
bool publish(QVR_CreatorWindow* window, const QString& title);

// The application menu's Sign Out from the home window, its dialogue answered as the user who wants out answers it
// (Sign Out Now when saving is slow or fails, and yes to its question); true once nobody is signed in and the
// signed-out user's documents are gone from this computer.
bool signOut();

// Clicks the point of the player's shown page at `scenePoint` (screen units), as the user clicks an object.
void clickInPlayer(QVRViewerWindow* player, QPointF scenePoint);

} // namespace roads::matrix
