#include "library/account/QVR_ProfileEditorWebViewWindowController.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "foundation/Tessutils.h"
#include "library/account/WebViewSessionCookies.h"
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

} // namespace

QVR_ProfileEditorWebViewWindowController::QVR_ProfileEditorWebViewWindowController(const QUrl& url, QObject* parent)
    : SimpleWebViewWindowController(url, parent)
{
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
    static QPointer<QVR_ProfileEditorWebViewWindowController> s_editor;
    WebViewSessionCookies::plant(Tessutils::corvikAuthToken(), kTokenCookieLifetime, kSessionCookieLifetime);
    if (!s_editor) {
        s_editor = new QVR_ProfileEditorWebViewWindowController(settingsURL());
        s_editor->setOnWebViewCloseBlock([] {
            if (s_editor)
                s_editor->deleteLater();
        });
    }
    s_editor->showWindow();
}
