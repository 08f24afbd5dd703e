#pragma once

#include "library/share/ShareNetworkWindowController.h"

// The Facebook window of the share sheet: the network's feed dialog for the document. The dialog ends by
// sending the browser to the service's own web site (its redirect address); that request is refused and the
// window closes.
class QVRFacebookShareWindowController : public ShareNetworkWindowController {
    Q_OBJECT
public:
    explicit QVRFacebookShareWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                              QObject* parent = nullptr);

    bool webViewWillSendRequest(const QUrl& url) override;

private:
    bool m_closing = false;
};
