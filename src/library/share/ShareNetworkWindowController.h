#pragma once

#include <memory>

#include <QString>

#include "controls/SimpleWebViewWindowController.h"
#include "library/share/ShareLinks.h"

class ZERI_TessarineModel;

// A small window with the social network's own share page for a published document, in the web views' shared
// session (a sign-in to the network made in one window holds in the next), titled with the network's name
// ("Twitter", "LinkedIn", "Gmail", "Facebook"). The window runs application-modally until the user closes it (or,
// for the network that redirects after posting, until that redirect). A subclass may refuse a request, which then
// never loads. Main thread only.
class ShareNetworkWindowController : public SimpleWebViewWindowController {
    Q_OBJECT
public:
    ShareNetworkWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel, ShareLinks::Channel channel,
                                 QObject* parent = nullptr);
    ~ShareNetworkWindowController() override;

    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_tessarineModel; }
    ShareLinks::Channel channel() const { return m_channel; }

    // Whether a request of the page goes on; the default lets every request through.
    virtual bool webViewWillSendRequest(const QUrl& url);

protected:
    void windowDidLoad() override;

private:
    std::shared_ptr<ZERI_TessarineModel> m_tessarineModel;
    ShareLinks::Channel m_channel;
};
