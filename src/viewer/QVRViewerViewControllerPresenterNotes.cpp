// The viewer view controller's presenter notes: starting them, placing them in a window or full screen on one
// display while the player fills another, and keeping them in step with the player.
#include "viewer/QVRViewerViewController.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "app/QVRAnalytics.h"
#include "app/ViewerKeyNotifications.h"
#include "controls/ViewControllerWindowController.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRPresentationNotesView.h"
#include "viewer/QVRPresentationNotesViewController.h"
#include "viewer/QVRScreenLinkThumbnailBar.h"
#include "viewer/ViewerLogging.h"

const QString QVRViewerViewController::kPresenterNotesShownOnSecondMonitorEvent =
    QStringLiteral("Presenter notes shown on second monitor");

namespace {

// The notes window's content: an empty holder the notes view is put into, so that dropping the window never
// takes the notes with it.
class PresenterNotesWindowContent final : public ViewController {
protected:
    void loadView() override
    {
        auto* holder = new QWidget;
        auto* layout = new QVBoxLayout(holder);
        layout->setContentsMargins(0, 0, 0, 0);
        holder->resize(QVRViewerViewController::kPresenterNotesWindowWidth,
                       QVRViewerViewController::kPresenterNotesWindowHeight);
        setView(holder);
    }
};

// Calls `closed` when the watched window has been closed (and stays closed once the close is handled).
class HostWindowWatcher final : public QObject {
public:
    HostWindowWatcher(QWidget* window, std::function<void()> closed, QObject* parent)
        : QObject(parent)
        , m_window(window)
        , m_closed(std::move(closed))
    {
        window->installEventFilter(this);
    }
    QWidget* window() const { return m_window; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Close) {
            // A close may still be refused by the window itself: look again once it has been handled.
            QTimer::singleShot(0, this, [this] {
                if (m_window && !m_window->isVisible() && m_closed)
                    m_closed();
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_closed;
};

void setBlackBackground(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

// A window goes to a display through its native window's screen and a geometry inside that display; Qt's widget
// call alone leaves it where it was. It keeps its own size there: the size a window has when it goes full screen
// is the one the window manager gives back when it leaves.
void placeFullScreen(QWidget* window, QScreen* screen)
{
    window->winId();
    // The notes view goes back into a window later: it must not stay a native child there.
    window->setAttribute(Qt::WA_NativeWindow, false);
    if (QWindow* handle = window->windowHandle())
        handle->setScreen(screen);
    QRect normal = window->geometry();
    normal.moveTopLeft(screen->availableGeometry().topLeft());
    window->setGeometry(normal);
    window->showFullScreen();
}

// Where a new notes window goes: centred in the usable area of the player's display, so that its title bar and
// frame are on the screen.
QPoint notesWindowOrigin(QWidget* player, const QSize& size)
{
    QScreen* screen = player ? player->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), size);
    frame.moveCenter(area.center());
    return QPoint(std::max(area.left(), frame.left()), std::max(area.top(), frame.top()));
}

} // namespace

QVRPresentationNotesViewController* QVRViewerViewController::presentationNotesViewController() const
{
    return m_presentationNotesViewController;
}

ViewControllerWindowController* QVRViewerViewController::presenterNotesWindowController() const
{
    return m_presenterNotesWindowController;
}

void QVRViewerViewController::showPresentationNotesIfAble()
{
    showPresentationNotesIfAbleOverride(false);
}

void QVRViewerViewController::showPresentationNotesIfAbleOverride(bool forced)
{
    if (!m_presentationNotesViewController) {
        if (forced) {
            setPresentationNotesViewController(new QVRPresentationNotesViewController);
            displayPresenterNotesInWindow();
        } else if (QGuiApplication::screens().size() >= 2) {
            setPresentationNotesViewController(new QVRPresentationNotesViewController);
            togglePresenterViewFullscreen();
            QVRAnalytics::logEvent(kPresenterNotesShownOnSecondMonitorEvent, {}, tessarineModel());
        }
        return;
    }
    if (!forced)
        return;
    if (m_presenterFullScreen) {
        // Already on their own display: bring them forward.
        if (QWidget* notes = m_presentationNotesViewController->view()) {
            notes->raise();
            notes->activateWindow();
        }
        if (m_viewerView)
            m_viewerView->setFocus();
        return;
    }
    if (!m_presenterNotesWindowController) {
        displayPresenterNotesInWindow();
        return;
    }
    if (m_viewerView)
        m_viewerView->setFocus();
    m_presenterNotesWindowController->showWindow();
}

void QVRViewerViewController::setPresentationNotesViewController(QVRPresentationNotesViewController* notes)
{
    if (notes == m_presentationNotesViewController)
        return;
    m_presentationNotesScreenObserver.reset();
    m_presentationNotesKeyObservations.clear();
    if (QVRPresentationNotesViewController* old = m_presentationNotesViewController) {
        m_presentationNotesViewController = nullptr;
        dropPresenterNotesWindow();
        delete old;
    }
    if (!notes)
        return;
    m_presentationNotesViewController = notes;
    notes->setParent(this);
    notes->setViewerViewController(this);
    notes->view();
    watchHostWindow();

    QPointer<QVRViewerViewController> self(this);
    QPointer<QVRScreenLinkThumbnailBar> bar(notes->thumbnailBar());
    // A screen picked in the strip: the player goes there. The strip also follows the player, which changes
    // nothing here, as the player is already on that screen.
    m_presentationNotesScreenObserver = bar->updateNotifier().addObservationBlock(
        [self, bar](const void*, const QSet<QString>&) {
            if (!self || !bar || !self->m_viewerView)
                return;
            // A strip still showing the screen before the player's latest change is no pick.
            if (self->m_presentationNotesViewController)
                self->m_presentationNotesViewController->showPendingScreen();
            const int index = bar->currentIndex();
            if (index < 0 || index == self->m_viewerView->currentPage())
                return;
            self->m_viewerView->scrollToPage(index, true);
            self->dismissAnyModalView();
        },
        QStringLiteral("currentIndex"));
    notes->setOnPlayPauseButtonPressed([self] {
        if (self && self->m_viewerView)
            self->m_viewerView->setAutoAdvancePaused(!self->m_viewerView->autoAdvancePaused());
    });
    const auto flow = m_viewerView ? m_viewerView->flowModel() : nullptr;
    notes->setPlayPauseButtonHidden(!flow || !flow->autoAdvanceSlideDuration());

    connect(this, &QVRViewerViewController::currentPage, notes, [self] {
        if (self)
            self->updatePresenterNotesScreen();
    });
    connect(this, &QVRViewerViewController::autoAdvancePaused, notes,
            [notes](bool paused) { notes->setPlayPauseButtonPlaying(!paused); });
    // Keys pressed on the presenter's screen drive the presentation as the player's own keys do.
    for (const void* sender : {static_cast<const void*>(notes->notesView()), static_cast<const void*>(bar.data())})
        m_presentationNotesKeyObservations.emplace_back(TessarineViewerViewKeyDownNotificationName, sender,
                                                        [this](const Notification& n) { globalKeyDown(n); });

    // However the notes were started, they open on the screen being shown, in the player's play state.
    updatePresenterNotesScreen();
    if (m_viewerView && m_viewerView->autoAdvancePaused())
        notes->setPlayPauseButtonPlaying(false);
}

void QVRViewerViewController::updatePresenterNotesScreen()
{
    if (m_presentationNotesViewController && m_viewerView)
        m_presentationNotesViewController->setCurrentScreen(m_viewerView->currentlyDisplayedFlowScreen());
}

void QVRViewerViewController::displayPresenterNotesInWindow()
{
    QVRPresentationNotesViewController* notes = m_presentationNotesViewController;
    if (!notes)
        return;
    dropPresenterNotesWindow();
    auto* windowController = new ViewControllerWindowController(this);
    windowController->setViewController(new PresenterNotesWindowContent);
    QWidget* window = windowController->window();
    // The window never gets smaller than the notes can be laid out in (their previews give way down to a third of
    // their width), so no panel is drawn over another.
    window->layout()->setSizeConstraint(QLayout::SetMinimumSize);
    QWidget* notesView = notes->view();
    if (notesView->isFullScreen())
        notesView->showNormal();
    windowController->viewController()->view()->layout()->addWidget(notesView);
    notesView->show();
    // A move places the window's frame, title bar included; the client area's origin would put the title bar
    // above the screen.
    window->resize(kPresenterNotesWindowWidth, kPresenterNotesWindowHeight);
    window->move(notesWindowOrigin(view()->window(), window->size()));
    // The window has no menu bar of its own: its Close key is its own.
    auto* close = new QShortcut(QKeySequence::Close, window);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QVRViewerViewController::closePresenterNotesWindow);
    m_presenterNotesWindowController = windowController;
    if (m_viewerView)
        m_viewerView->setFocus();
    windowController->showWindow();
    updatePresenterNotesTitle();
}

void QVRViewerViewController::dropPresenterNotesWindow()
{
    ViewControllerWindowController* windowController = m_presenterNotesWindowController;
    if (!windowController)
        return;
    m_presenterNotesWindowController = nullptr;
    // The notes view leaves the window before the window goes.
    if (m_presentationNotesViewController && m_presentationNotesViewController->isViewLoaded()) {
        QWidget* notesView = m_presentationNotesViewController->view();
        if (notesView->window() == windowController->window()) {
            notesView->hide();
            notesView->setParent(nullptr);
        }
    }
    windowController->close();
    delete windowController;
}

void QVRViewerViewController::closePresenterNotesWindow()
{
    if (m_presenterNotesWindowController && m_presenterNotesWindowController->window())
        m_presenterNotesWindowController->window()->close();
}

bool QVRViewerViewController::isPresenterNotesKey(const Notification& notification) const
{
    QVRPresentationNotesViewController* notes = m_presentationNotesViewController;
    if (!notes || !notification.sender)
        return false;
    return notification.sender == static_cast<const void*>(notes->notesView()) ||
           notification.sender == static_cast<const void*>(notes->thumbnailBar());
}

void QVRViewerViewController::togglePresenterViewFullscreen()
{
    if (!m_presenterFullScreen) {
        ++m_screenSwapHelperInt;
        swapPresenterNotesDisplays();
        dropPresenterNotesWindow();
        if (m_viewerView)
            m_viewerView->setFocus();
        return;
    }
    // Display fades need a fade reservation this platform does not offer; they are skipped.
    if (m_presentationNotesViewController) {
        QWidget* notesView = m_presentationNotesViewController->view();
        if (notesView->isFullScreen())
            notesView->showNormal();
    }
    leavePresenterFullScreenState(true);
    displayPresenterNotesInWindow();
}

void QVRViewerViewController::swapPresenterNotesDisplays()
{
    QVRPresentationNotesViewController* notes = m_presentationNotesViewController;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (!notes || screens.isEmpty())
        return;
    QWidget* host = view()->window();
    if (!m_presenterFullScreen) {
        m_fullScreenHost = host;
        m_hostGeometryBeforeFullScreen = host->geometry();
        m_hostPaletteBeforeFullScreen = host->palette();
    }
    dropPresenterNotesWindow();
    QWidget* notesView = notes->view();
    if (notesView->parentWidget()) {
        notesView->hide();
        notesView->setParent(nullptr);
    }
    if (host->isFullScreen())
        host->showNormal();
    if (notesView->isFullScreen())
        notesView->showNormal();

    const bool odd = (m_screenSwapHelperInt & 1) != 0;
    QScreen* first = screens.first();
    QScreen* last = screens.last();
    placeFullScreen(host, odd ? first : last);
    placeFullScreen(notesView, odd ? last : first);
    setBlackBackground(host);
    ++m_screenSwapHelperInt;
    m_presenterFullScreen = true;
    updatePresenterNotesTitle();
}

void QVRViewerViewController::leavePresenterFullScreenState(bool show)
{
    if (!m_presenterFullScreen)
        return;
    m_presenterFullScreen = false;
    QWidget* host = m_fullScreenHost;
    m_fullScreenHost = nullptr;
    if (!host)
        return;
    if (show) {
        host->showNormal();
    } else {
        // A closed window leaves full screen without being shown again.
        host->setWindowState(host->windowState() & ~Qt::WindowFullScreen);
    }
    if (QWindow* handle = host->windowHandle()) {
        if (QScreen* former = QGuiApplication::screenAt(m_hostGeometryBeforeFullScreen.center()))
            handle->setScreen(former);
    }
    host->setGeometry(m_hostGeometryBeforeFullScreen);
    host->setPalette(m_hostPaletteBeforeFullScreen);
}

void QVRViewerViewController::updatePresenterNotesTitle()
{
    const auto document = tessarineModel();
    const QString title =
        QStringLiteral("%1 (%2)").arg(UFM::PRESENTER_NOTES_TEXT(), document ? document->title() : QString());
    if (m_presenterNotesWindowController && m_presenterNotesWindowController->window())
        m_presenterNotesWindowController->window()->setWindowTitle(title);
    if (m_presentationNotesViewController && m_presentationNotesViewController->isViewLoaded())
        m_presentationNotesViewController->view()->setWindowTitle(title);
}

void QVRViewerViewController::watchHostWindow()
{
    QWidget* host = view()->window();
    if (auto* watcher = static_cast<HostWindowWatcher*>(m_hostWindowWatcher.data());
        watcher && watcher->window() == host)
        return;
    delete m_hostWindowWatcher.data();
    QPointer<QVRViewerViewController> self(this);
    m_hostWindowWatcher = new HostWindowWatcher(
        host,
        [self] {
            if (self)
                self->closePresenterNotes();
        },
        this);
}

void QVRViewerViewController::closePresenterNotes()
{
    if (!m_presentationNotesViewController)
        return;
    leavePresenterFullScreenState(false);
    setPresentationNotesViewController(nullptr);
}
