#pragma once

#include <QString>
#include <QUrl>

class ZERI_TessarineModel;

// What the application accepts as an address from elsewhere: a document or a record that came from the web service,
// or a package copied in from another place. Such an address is a web address, or a file inside the document's own
// package; a "file:" address from the service, or a local path outside the package, would let a document reach
// (and publishing upload) any file of the user's.
namespace UntrustedAddresses {

// http or https, with a host.
bool isWebAddress(const QUrl& url);

// Clears every asset address of a document received from the service that is not a web address, logging each;
// returns how many were cleared. `origin` names the document in the log.
int refuseNonWebAssetAddresses(ZERI_TessarineModel& document, const QString& origin);

// Whether the file `path` lies inside `folder` (both made absolute and clean; a link inside the folder that leads
// out of it is outside). An empty folder holds nothing.
bool isInsideFolder(const QString& path, const QString& folder);

} // namespace UntrustedAddresses
