#pragma once

#include <memory>

#include <QVariantMap>

class QWidget;
class ZERI_TessarineModel;

// What the viewer window and the tablet preview do with the document they play: the analytics of a view, and
// remix (a copy of the document's package saved among the user's own documents). Main thread only.
namespace ViewerDocumentActions {

// {"action_value": "isOwner"} for the signed-in owner of the document's package, "isAdmin" for an administrator,
// else empty.
QVariantMap roleParameters(const std::shared_ptr<ZERI_TessarineModel>& document);

// Whether a view of the document counts as a published one: always, except for the user's own editable document
// (package type bit of value 1), which counts only when the document is the package's published copy. A document
// without a package counts as published.
bool countsAsPublishedView(const std::shared_ptr<ZERI_TessarineModel>& document);
// Logs "Tessarine Viewed" or "Tessarine Draft Viewed" with the role parameters.
void reportViewed(const std::shared_ptr<ZERI_TessarineModel>& document);

// Remix is offered when the document has a package and allows remixing, is the user's own, or the user is an
// administrator.
bool canRemix(const std::shared_ptr<ZERI_TessarineModel>& document);
// Share is offered when sharing is registered and the document is not the user's own editable one (package type
// value 1), or the user is an administrator.
bool canShare(const std::shared_ptr<ZERI_TessarineModel>& document);

// Logs "Tessarine Remix" ("isOwner", "isAdmin" or "remix"), then copies the package; once the copy exists it
// becomes an own document (type 1, metadata saved) and a desktop notice says so. A failed copy posts no notice
// and shows ERROR_TEXT as a toast in `toastView` (when it still exists). A document without a package is logged
// and left alone.
void remix(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* toastView);

} // namespace ViewerDocumentActions
