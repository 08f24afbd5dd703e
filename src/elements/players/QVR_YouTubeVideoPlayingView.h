#pragma once

#include <functional>

#include <QString>

#include "controls/QVR_ModalViewWithCloseButton.h"

class QWebEngineView;

// Plays a video of a streaming site full-window: a web view showing the video's page, below a strip at the top
// that keeps the close button free. The page loads each time the view is put into a parent (never when it is
// taken out of one). Only http and https links load: a document's link must not open local files in a page
// that runs scripts. Key presses the page leaves unhandled are posted to the viewer as its key-down
// notification and go no further.
class QVR_YouTubeVideoPlayingView : public QVR_ModalViewWithCloseButton {
    Q_OBJECT
public:
    QVR_YouTubeVideoPlayingView(const QRect& frame, const QString& urlString, QWidget* parent = nullptr);
    ~QVR_YouTubeVideoPlayingView() override;

    // Opens the player over `viewerView` for `urlString`, as the viewer does: black behind the page, the close
    // button removes the view, runs `onDismissed` and finishes "View Video", which starts here with the link as
    // its "URL".
    static QVR_YouTubeVideoPlayingView* presentOverView(QWidget* viewerView, const QString& urlString,
                                                        std::function<void()> onDismissed = {});

    QString urlString() const { return m_urlString; }
    void setUrlString(const QString& urlString) { m_urlString = urlString; }

    QWebEngineView* webView() const { return m_webView; }

    // The link as it is loaded: a link of the site (its main or short-link domain) without a query asks the
    // site to start at once and show no related videos.
    static QString autoplayURLString(const QString& urlString);
    // Whether the player may load the link at all (http and https only).
    static bool isLoadableURL(const QUrl& url);

    static inline const QString kViewVideoEvent = QStringLiteral("View Video");

protected:
    // Loads the page when the view has been given a parent.
    void viewDidMoveToSuperview();

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutWebView();
    // The viewer takes the key as its own key press; the key goes no further.
    void forwardKeyToViewer(QKeyEvent* event);
    void refuseDrops(QObject* object);

    QString m_urlString;
    QWebEngineView* m_webView = nullptr;
};
