#include "library/share/QVRFacebookShareWindowController.h"

#include <QTimer>
#include <QWidget>

#include "service/ServiceWebSite.h"

QVRFacebookShareWindowController::QVRFacebookShareWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                                                   QObject* parent)
    : ShareNetworkWindowController(std::move(tessarineModel), ShareLinks::Channel::Facebook, parent)
{
}

bool QVRFacebookShareWindowController::webViewWillSendRequest(const QUrl& url)
{
    // The redirect address is the site's root: a request for the root itself or anything under it, not a host
    // that merely begins with the same letters.
    const QString root = ServiceWebSite::rootString();
    const QString address = url.toString();
    const bool isRedirect = address.startsWith(root) &&
                            (address.size() == root.size() || QStringLiteral("/?#").contains(address[root.size()]));
    if (!isRedirect)
        return true;
    if (!m_closing) {
        m_closing = true;
        // Closed from the event loop: the page is still inside its navigation call here.
        QTimer::singleShot(0, this, [this] {
            if (isWindowLoaded())
                window()->close();
        });
    }
    return false;
}
