#include "library/account/QVR_ProfileEditorWebViewWindowController.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "foundation/Tessutils.h"
#include "library/account/WebViewSessionCookies.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/FileChooser.h"
#include "service/ServiceWebSite.h"

namespace {

constexpr qint64 kTokenCookieLifetime = 604800; // a week
constexpr qint64 kSessionCookieLifetime = 3600; // an hour

class ProfileEditorPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles, const QStringList&) override
    {
        Q_UNUSED(oldFiles);
        FileChooserRequest request;
        request.mode = mode == FileSelectionMode::FileSelectOpenMultiple ? FileChooserRequest::Mode::OpenFiles
                                                                         : FileChooserRequest::Mode::OpenFile;
        return FileChooser::shared().runModal(request, QWebEngineView::forPage(this)).paths;
    }
};

QPointer<QVR_ProfileEditorWebViewWindowController>& editor()
{
    static QPointer<QVR_ProfileEditorWebViewWindowController> s_editor;
    return s_editor;
}

} // namespace

QVR_ProfileEditorWebViewWindowController::QVR_ProfileEditorWebViewWindowController(const QUrl& url, QObject* parent)
    : SimpleWebViewWindowController(url, parent)
    , m_authToken(Tessutils::corvikAuthToken())
    , m_logoutObservation(QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification), nullptr,
                          [this](const Notification&) { dismiss(); })
{
}

void QVR_ProfileEditorWebViewWindowController::dismiss()
{
    m_logoutObservation.reset();
    if (editor() == this)
        editor() = nullptr;
    if (isWindowLoaded())
        window()->hide();
    deleteLater();
}

QVR_ProfileEditorWebViewWindowController* QVR_ProfileEditorWebViewWindowController::shownEditor()
{
    QVR_ProfileEditorWebViewWindowController* shown = editor();
    return shown && shown->isWindowLoaded() && shown->window()->isVisible() ? shown : nullptr;
}

QUrl QVR_ProfileEditorWebViewWindowController::settingsURL()
{
    return QUrl(ServiceWebSite::rootString() + QStringLiteral("/user/settings"));
}

void QVR_ProfileEditorWebViewWindowController::windowDidLoad()
{
    QWidget* frame = window();
    frame->setWindowTitle(QStringLiteral("Profile"));
    frame->setGeometry(200, 100, 890, 710);
    frame->setFixedSize(890, 710);
    QWebEngineView* view = myWebView();
    auto* page = new ProfileEditorPage(WebViewSessionCookies::profile(), view);
    view->setPage(page);
    page->load(url());
}

void QVR_ProfileEditorWebViewWindowController::editProfile()
{
    QPointer<QVR_ProfileEditorWebViewWindowController>& s_editor = editor();
    const QString token = Tessutils::corvikAuthToken();
    // Another user's page is never shown again: that editor goes and the page loads afresh.
    if (s_editor && s_editor->m_authToken != token)
        s_editor->dismiss();
    WebViewSessionCookies::plant(token, kTokenCookieLifetime, kSessionCookieLifetime);
    if (!s_editor) {
        s_editor = new QVR_ProfileEditorWebViewWindowController(settingsURL());
        QPointer<QVR_ProfileEditorWebViewWindowController> made = s_editor;
        s_editor->setOnWebViewCloseBlock([made] {
            if (made)
                made->dismiss();
        });
    }
    s_editor->showWindow();
}
