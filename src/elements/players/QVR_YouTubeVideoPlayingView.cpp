#include "elements/players/QVR_YouTubeVideoPlayingView.h"

#include <algorithm>

#include <QChildEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QUrl>
#include <QVariant>
#include <QtWebEngineWidgets/QWebEngineView>

#include "app/QVRTimedAnalytics.h"
#include "app/ViewerKeyNotifications.h"
#include "elements/players/ViewVideoPresentation.h"
#include "platform/NotificationCenter.h"

namespace {

const QString kAutoplayQuery = QStringLiteral("?autoplay=1&rel=0");
const QString kSiteDomain = QStringLiteral("youtube.com");
const QString kSiteShortLinkDomain = QStringLiteral("youtu.be");

} // namespace

QVR_YouTubeVideoPlayingView::QVR_YouTubeVideoPlayingView(const QRect& frame, const QString& urlString, QWidget* parent)
    : QVR_ModalViewWithCloseButton(frame, parent)
    , m_urlString(urlString)
{
    setAcceptDrops(false);
    m_webView = new QWebEngineView(this); // on the default profile
    m_webView->setObjectName(QStringLiteral("webView"));
    refuseDrops(m_webView);
    addSubview(m_webView); // the base keeps the close button above it
    layoutWebView();
    // A view made straight into its parent gets no parent change; it loads now as it would when added.
    if (parentWidget())
        viewDidMoveToSuperview();
}

QVR_YouTubeVideoPlayingView::~QVR_YouTubeVideoPlayingView()
{
    QVRTimedAnalytics::finishTimedEvent(kViewVideoEvent);
    if (m_webView)
        m_webView->stop();
}

QVR_YouTubeVideoPlayingView* QVR_YouTubeVideoPlayingView::presentOverView(QWidget* viewerView, const QString& urlString,
                                                                          std::function<void()> onDismissed)
{
    if (!viewerView)
        return nullptr;
    auto* view = new QVR_YouTubeVideoPlayingView(viewerView->rect(), urlString, viewerView);
    view->setBackgroundColor(Qt::black);
    ViewVideoPresentation::present(view, urlString, std::move(onDismissed));
    return view;
}

QString QVR_YouTubeVideoPlayingView::autoplayURLString(const QString& urlString)
{
    const QUrl url(urlString);
    const QString host = url.host();
    const bool siteLink = host.contains(kSiteDomain) || host.contains(kSiteShortLinkDomain);
    if (!siteLink || !url.query().isEmpty())
        return urlString;
    // The query goes before a fragment, and an empty "?" already there is not doubled.
    QString link = urlString;
    qsizetype at = link.indexOf(QLatin1Char('#'));
    if (at < 0)
        at = link.size();
    if (at > 0 && link.at(at - 1) == QLatin1Char('?'))
        link.remove(--at, 1);
    return link.insert(at, kAutoplayQuery);
}

bool QVR_YouTubeVideoPlayingView::isLoadableURL(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void QVR_YouTubeVideoPlayingView::viewDidMoveToSuperview()
{
    if (!parentWidget())
        return; // being taken out: nothing loads
    const QUrl url(autoplayURLString(m_urlString));
    if (!isLoadableURL(url))
        return; // no link, or a scheme a page of ours must not open
    m_webView->load(url);
}

bool QVR_YouTubeVideoPlayingView::event(QEvent* event)
{
    const bool handled = QVR_ModalViewWithCloseButton::event(event);
    if (event->type() == QEvent::ParentChange)
        viewDidMoveToSuperview();
    return handled;
}

void QVR_YouTubeVideoPlayingView::keyPressEvent(QKeyEvent* event)
{
    forwardKeyToViewer(event);
}

void QVR_YouTubeVideoPlayingView::forwardKeyToViewer(QKeyEvent* event)
{
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, this,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(event->keyCombination())}});
    event->accept(); // the viewer has it; it goes no further
}

void QVR_YouTubeVideoPlayingView::resizeEvent(QResizeEvent* event)
{
    QVR_ModalViewWithCloseButton::resizeEvent(event);
    layoutWebView();
}

void QVR_YouTubeVideoPlayingView::layoutWebView()
{
    // The strip at the top is the close button's height and holds the whole button: none of it lies over the page.
    QPushButton* close = closeButton();
    const int strip = close->height();
    close->move(close->x(), 0);
    m_webView->setGeometry(0, strip, width(), std::max(0, height() - strip));
}

void QVR_YouTubeVideoPlayingView::refuseDrops(QObject* object)
{
    if (auto* widget = qobject_cast<QWidget*>(object))
        widget->setAcceptDrops(false);
    object->installEventFilter(this);
    for (QObject* child : object->children())
        refuseDrops(child);
}

bool QVR_YouTubeVideoPlayingView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        // The engine makes its drawing widget late; it refuses drops as well.
        static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
        break;
    case QEvent::ChildPolished:
        refuseDrops(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        event->ignore();
        return true;
    case QEvent::KeyPress:
        // Once the page has the keyboard (a click on its player), Escape still leaves the video; the page keeps
        // every other key (its player's own Space and arrows).
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && watched != this) {
            forwardKeyToViewer(static_cast<QKeyEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return QVR_ModalViewWithCloseButton::eventFilter(watched, event);
}
