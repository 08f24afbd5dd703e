#include "library/share/ShareNetworkWindowController.h"

#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "library/LibraryLogging.h"
#include "library/account/WebViewSessionCookies.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QUrl shareAddress(const std::shared_ptr<ZERI_TessarineModel>& model, ShareLinks::Channel channel)
{
    if (!model)
        return {};
    return ShareLinks::shareURL(ShareLinks::Document::fromModel(*model), channel).value_or(QUrl());
}

// Asks the window controller before each navigation of the page.
class ShareNetworkPage : public QWebEnginePage {
public:
    ShareNetworkPage(QWebEngineProfile* profile, ShareNetworkWindowController* controller, QObject* parent)
        : QWebEnginePage(profile, parent)
        , m_controller(controller)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (m_controller && !m_controller->webViewWillSendRequest(url))
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    QPointer<ShareNetworkWindowController> m_controller;
};

} // namespace

ShareNetworkWindowController::ShareNetworkWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                                           ShareLinks::Channel channel, QObject* parent)
    : SimpleWebViewWindowController(shareAddress(tessarineModel, channel), parent)
    , m_tessarineModel(std::move(tessarineModel))
    , m_channel(channel)
{
}

ShareNetworkWindowController::~ShareNetworkWindowController() = default;

bool ShareNetworkWindowController::webViewWillSendRequest(const QUrl& url)
{
    Q_UNUSED(url);
    return true;
}

void ShareNetworkWindowController::windowDidLoad()
{
    window()->setWindowTitle(ShareLinks::channelName(m_channel));
    QWebEngineView* view = myWebView();
    view->setPage(new ShareNetworkPage(WebViewSessionCookies::profile(), this, view));
    if (m_channel == ShareLinks::Channel::LinkedIn)
        qCInfo(lcLibrary) << "sharing to LinkedIn:" << url().toString(QUrl::FullyEncoded);
    SimpleWebViewWindowController::windowDidLoad();
}
