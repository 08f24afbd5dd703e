#include "library/lists/QVRTessarineListsWindowController.h"

#include <QDateTime>
#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QQuickWidget>
#include <QStackedLayout>
#include <QStyle>
#include <QApplication>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/QVRAnalytics.h"
#include "app/QVRAppDelegate.h"
#include "app/QVRWindowManager.h"
#include "controls/FittingPanelArea.h"
#include "controls/MouseEventShieldWindow.h"
#include "foundation/Tessutils.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/account/WebViewSessionCookies.h"
#include "library/lists/QVRTessarineListsWebViewController.h"
#include "service/OpenFailureNotice.h"
#include "service/QVROpenRequest.h"
#include "strings/UFM.h"

namespace {

std::function<qint64()>& activationClock()
{
    static std::function<qint64()> s_clock;
    return s_clock;
}

qint64 nowSeconds()
{
    return activationClock() ? activationClock()() : QDateTime::currentSecsSinceEpoch();
}

int& flashMilliseconds()
{
    static int s_ms = QVRTessarineListsWindowController::kFlashMilliseconds;
    return s_ms;
}

std::function<QWidget*()>& tourFactory()
{
    static std::function<QWidget*()> s_factory;
    return s_factory;
}

// Process-wide: the time of the last refresh caused by activation, and whether the tour ran this run.
qint64 s_lastActivationRefresh = 0;
bool s_tourShown = false;

const char* const kSelectedImages[] = {"mytessarines_active", "library_active", "catalog_active"};
const char* const kRegularImages[] = {"mytessarines_inactive", "library_inactive", "catalog_inactive"};

QIcon tabIcon(const char* name)
{
    return QIcon(QStringLiteral(":/library/lists/%1.svg").arg(QLatin1String(name)));
}

bool signedIn()
{
    return !Tessutils::corvikAuthToken().isEmpty();
}

} // namespace

QVRTessarineListsWindow::QVRTessarineListsWindow(QVRTessarineListsWindowController* controller)
    : m_controller(controller)
{
}

void QVRTessarineListsWindow::performRefresh(uint)
{
    if (m_controller)
        m_controller->updateSelectedViewController();
}

bool QVRTessarineListsWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_controller)
        m_controller->windowDidBecomeActive();
    if (event->type() == QEvent::Show && m_controller)
        QTimer::singleShot(0, m_controller, [controller = m_controller] {
            if (controller)
                controller->bringFirstLaunchTourToFront();
        });
    return INAppStoreWindow::event(event);
}

QVRTessarineListsWindowController::QVRTessarineListsWindowController()
{
    m_window = new QVRTessarineListsWindow(this);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    // The window owns its controller.
    setParent(m_window);
    m_window->setTitleBarHeight(kTitleBarHeight);
    m_window->setCenterFullScreenButton(false);
    m_window->setCenterTrafficLightButtons(false);
    m_window->setTitleBarDrawingBlock(QVRWindowManager::tessarineWindowTitleViewDrawingBlock());
    m_window->setShowsTitle(false);
    m_window->setWindowTitle(UFM::MY_TESSARINES_TEXT());
    m_window->resize(1040, 720);
    // Narrower, My Documents could not show four tiles at their full size.
    m_window->setMinimumSize(QVRMyTessarinesViewController::fullSizeWidth() +
                                 m_window->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                             kMinimumHeight);
    setUpTabBar();
    keepNativeWindowForWebPages();

    m_pages = new QStackedLayout(m_window->contentView());
    m_myTessarines = new QVRMyTessarinesViewController;
    m_myTessarines->setOnUpdateFinished([this] { updatesCompletedForViewController(m_myTessarines); });
    m_pages->addWidget(m_myTessarines);

    openMyTessarines();
    startFirstLaunchTour();
    m_updatingField->hide();
    m_activityIndicator->hide();
    m_selected = m_myTessarines;

    QVRWindowManager::sharedInstance().addManagedWindow(m_window);
    m_logoutObservation = NotificationObservation(QStringLiteral("ZERI_AuthenticationHandlerDidLogoutNotification"),
                                                  nullptr, [this](const Notification&) { userDidLogout(); });
    m_loginObservation = NotificationObservation(QStringLiteral("ZERI_AuthenticationHandlerDidLoginNotification"),
                                                 nullptr, [this](const Notification&) { userDidLogin(); });
    m_analyticsObservation =
        NotificationObservation(QStringLiteral("showAnalyticsForATessarine"), nullptr, [this](const Notification& n) {
            openAnalytics(n.userInfo.value(QStringLiteral("tessarineStringId")).toString());
        });
}

// The Library, Catalog and analytics pages are web views, which draw through the graphics card. A window that is
// shown without such a view is given a plain surface; the first web page opened later would make Qt destroy and
// make its native window anew, which under a window manager places it elsewhere. A hidden view of the same kind,
// there before the window is first shown, has it start out with the surface those pages need.
void QVRTessarineListsWindowController::keepNativeWindowForWebPages()
{
    auto* placeholder = new QQuickWidget(m_window);
    placeholder->setObjectName(QStringLiteral("webSurfacePlaceholder"));
    placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    placeholder->setFocusPolicy(Qt::NoFocus);
    placeholder->hide();
}

QVRTessarineListsWindowController::~QVRTessarineListsWindowController()
{
    m_logoutObservation.reset();
    m_loginObservation.reset();
    m_analyticsObservation.reset();
    if (m_firstLaunchWindow)
        m_firstLaunchWindow->close();
}

void QVRTessarineListsWindowController::setUpTabBar()
{
    QWidget* bar = m_window->titleBarView();
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(80, 4, 16, 4);
    layout->setSpacing(6);
    const QString titles[] = {UFM::MY_TESSARINES_TEXT(), UFM::LIBRARY_TEXT(), UFM::CATALOG_TEXT()};
    // The button with the keyboard shows a light rounded outline, as the creator's toolbar buttons do.
    const QString style = QStringLiteral("QToolButton { color: rgb(201, 201, 201); border: 1px solid transparent; "
                                         "border-radius: 4px; padding: 1px 7px; }"
                                         "QToolButton:focus { border-color: rgba(235, 235, 235, 170); }");
    for (int tag = 0; tag < 3; ++tag) {
        auto* button = new QToolButton(bar);
        button->setText(titles[tag]);
        button->setProperty("tag", tag);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(28, 28));
        button->setIcon(tabIcon(kRegularImages[tag]));
        button->setStyleSheet(style);
        layout->addWidget(button);
        m_tabButtons[tag] = button;
    }
    connect(m_tabButtons[0], &QToolButton::clicked, this, [this] { openMyTessarines(); });
    connect(m_tabButtons[1], &QToolButton::clicked, this, [this] { openLibrary(); });
    connect(m_tabButtons[2], &QToolButton::clicked, this, [this] { openCatalogue(); });
    layout->addStretch(1);
    m_updatingField = new QLabel(bar);
    m_updatingField->setStyleSheet(QStringLiteral("color: rgb(201, 201, 201);"));
    layout->addWidget(m_updatingField);
    m_activityIndicator = new QProgressBar(bar);
    m_activityIndicator->setRange(0, 0);
    m_activityIndicator->setTextVisible(false);
    m_activityIndicator->setFixedSize(60, 8);
    layout->addWidget(m_activityIndicator);
    m_guideButton = new QToolButton(bar);
    m_guideButton->setText(UFM::GUIDE_TEXT());
    m_guideButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_guideButton->setIconSize(QSize(28, 28));
    m_guideButton->setIcon(tabIcon("guide"));
    m_guideButton->setStyleSheet(style);
    layout->addWidget(m_guideButton);
    connect(m_guideButton, &QToolButton::clicked, this, [this] { guideButtonPressed(); });
}

QToolButton* QVRTessarineListsWindowController::tabButton(int tag) const
{
    return tag >= 0 && tag < 3 ? m_tabButtons[tag] : nullptr;
}

bool QVRTessarineListsWindowController::tabShowsSelected(int tag) const
{
    QToolButton* button = tabButton(tag);
    return button && button->property("selectedImage").toBool();
}

void QVRTessarineListsWindowController::setSelectedButton(QToolButton* button)
{
    dropAnalytics();
    // The keyboard's outline on a tab other than the one shown reads as that page being shown: a tab that has the
    // keyboard hands it to the tab chosen, however it was chosen.
    bool tabHasKeyboard = false;
    for (QToolButton* tab : m_tabButtons)
        tabHasKeyboard = tabHasKeyboard || tab->hasFocus();
    if (button && tabHasKeyboard)
        button->setFocus(Qt::OtherFocusReason);
    for (int tag = 0; tag < 3; ++tag) {
        const bool selected = m_tabButtons[tag] == button;
        m_tabButtons[tag]->setIcon(tabIcon(selected ? kSelectedImages[tag] : kRegularImages[tag]));
        m_tabButtons[tag]->setProperty("selectedImage", selected);
    }
    // The window is titled after the page it shows.
    if (button)
        m_window->setWindowTitle(button->text());
}

void QVRTessarineListsWindowController::dropAnalytics()
{
    if (!m_analytics)
        return;
    m_pages->removeWidget(m_analytics);
    m_analytics->hide();
    m_analytics->deleteLater();
    m_analytics = nullptr;
}

void QVRTessarineListsWindowController::setContent(QWidget* view, QObject* controller)
{
    if (m_pages->indexOf(view) < 0)
        m_pages->addWidget(view);
    m_pages->setCurrentWidget(view);
    m_selected = controller;
}

void QVRTessarineListsWindowController::openMyTessarines()
{
    setSelectedButton(m_tabButtons[MyTessarines]);
    setContent(m_myTessarines, m_myTessarines);
    showUpdating(true);
    m_myTessarines->update();
    QVRAnalytics::logEvent(QStringLiteral("My Tessarines Screen"));
}

void QVRTessarineListsWindowController::openLibrary()
{
    if (!signedIn()) {
        if (QVRAppDelegate* delegate = QVRAppDelegate::runningDelegate())
            delegate->showRegisterWall();
        return;
    }
    showUpdating(true);
    setSelectedButton(m_tabButtons[Library]);
    if (!m_library)
        m_library = new QVRTessarineListsCatalogLibraryWebViewController(false, this);
    else
        m_library->update();
    setContent(m_library, m_library);
    QVRAnalytics::logEvent(QStringLiteral("Library Screen"));
}

void QVRTessarineListsWindowController::openCatalogue()
{
    setSelectedButton(m_tabButtons[Catalog]);
    if (m_catalog) {
        setContent(m_catalog, m_catalog);
        showUpdating(true);
        m_catalog->update();
    } else {
        m_catalog = new QVRTessarineListsCatalogLibraryWebViewController(true, this);
        setContent(m_catalog, m_catalog);
        showUpdating(true);
    }
    QVRAnalytics::logEvent(QStringLiteral("Catalog Screen"));
}

void QVRTessarineListsWindowController::openAnalytics(const QString& stringID)
{
    if (m_analytics || stringID.isEmpty())
        return;
    showUpdating(true);
    m_analytics = new QVRTessarineListsAnalyticsWebViewController(stringID, this);
    setContent(m_analytics, nullptr);
    QVRAnalytics::logEvent(QStringLiteral("Analytics Screen"));
    m_selected = m_analytics;
}

void QVRTessarineListsWindowController::closeAnalytics()
{
    openMyTessarines();
}

void QVRTessarineListsWindowController::windowDidBecomeActive()
{
    const qint64 now = nowSeconds();
    if (now - s_lastActivationRefresh <= kActivationRefreshSeconds)
        return;
    s_lastActivationRefresh = now;
    updateSelectedViewController();
}

void QVRTessarineListsWindowController::updateSelectedViewController()
{
    // The status shows before the page is asked: a page that has nothing to fetch reports completion at once.
    if (m_selected == m_myTessarines) {
        showUpdating(true);
        m_myTessarines->update();
    } else if (m_selected && (m_selected == m_library || m_selected == m_catalog)) {
        showUpdating(true);
        static_cast<QVRTessarineListsCatalogLibraryWebViewController*>(m_selected.data())->update();
    }
}

void QVRTessarineListsWindowController::showUpdating(bool flag)
{
    if (!signedIn() && (!m_selected || m_selected != m_catalog)) {
        // Signed out, only the Catalog shows activity; a status left running by a page no longer shown (the
        // Catalog left while loading, a page of the user who signed out) still goes at the end of this one's.
        if (!flag) {
            m_updatingField->hide();
            m_activityIndicator->hide();
        }
        return;
    }
    m_updatingField->setText(UFM::UPDATING_TEXT());
    m_updatingField->setVisible(flag);
    m_activityIndicator->setVisible(flag);
}

void QVRTessarineListsWindowController::flashOpening()
{
    m_updatingField->setText(UFM::OPENING_TEXT());
    m_updatingField->show();
    m_activityIndicator->show();
    QPointer<QObject> selectedAtStart = m_selected;
    QTimer::singleShot(flashMilliseconds(), this, [this, selectedAtStart] {
        if (m_selected != selectedAtStart)
            return;
        m_activityIndicator->hide();
        m_updatingField->hide();
    });
}

void QVRTessarineListsWindowController::updatesCompletedForViewController(QObject* controller)
{
    if (controller && controller == m_selected)
        showUpdating(false);
}

void QVRTessarineListsWindowController::userDidLogin()
{
    // The tour is for someone not signed in: signed in elsewhere (the menu), it goes. Signed in through its own
    // sign-in sheet, it closes itself once the sheet is done.
    const QDialog* ownSheet = m_firstLaunchWindow ? m_firstLaunchWindow->findChild<QDialog*>() : nullptr;
    if (m_firstLaunchWindow && !(ownSheet && ownSheet->isVisible()))
        m_firstLaunchWindow->close();
    openMyTessarines();
}

void QVRTessarineListsWindowController::userDidLogout()
{
    // The signed-out user's session cookies go at once, not only at the next load of a page.
    if (m_catalog)
        WebViewSessionCookies::plant(m_catalog->webview()->page()->profile());
    if (m_library) {
        m_pages->removeWidget(m_library);
        m_library->deleteLater();
        m_library = nullptr;
    }
    openMyTessarines();
}

void QVRTessarineListsWindowController::showMyFlows()
{
    openMyTessarines();
}

void QVRTessarineListsWindowController::launchTessarineWithId(const QString& stringID)
{
    auto request = QVROpenRequest::request();
    request->setOpenCue(stringID);
    request->setOptions(QVROpenRequest::ViewerWindow | QVROpenRequest::DownloadByStringID |
                        QVROpenRequest::PublishedCopyOnly);
    flashOpening();
    request->open(
        [window = QPointer<QWidget>(m_window)](const Error& error) { OpenFailureNotice::tell(error, window); });
}

void QVRTessarineListsWindowController::goToCatalog()
{
    openCatalogue();
}

void QVRTessarineListsWindowController::libraryUpdateFinished()
{
    updatesCompletedForViewController(m_library);
}

void QVRTessarineListsWindowController::guideButtonPressed()
{
    if (m_sheildWindow)
        m_sheildWindow->close();
    m_sheildWindow = MouseEventShieldWindow::sheildWindowForWindow(m_window);
    m_sheildWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (m_guideViewController)
        m_guideViewController->deleteLater();
    m_guideViewController = new QVRGuideViewerViewController(m_sheildWindow);
    m_savedMinimumSize = m_window->minimumSize();
    m_savedMaximumSize = m_window->maximumSize();
    m_sheildWindow->setBackgroundColor(QColor(0, 0, 0, 77));
    QWidget* guide = m_guideViewController->view();
    ShieldCloseOnClickView* host = m_sheildWindow->closeOnClickView();
    guide->adjustSize();
    // 20 in from the right, 75 below the top; in a window too low for the whole panel (the window's size is frozen
    // while it shows), the rest scrolls into sight.
    const QMargins margins(0, 75, 20, 20);
    FittingPanelArea* area = nullptr;
    if (guide->height() > host->height() - margins.top() - margins.bottom()) {
        area = new FittingPanelArea(guide, host);
        area->followParent(margins, Qt::AlignTop | Qt::AlignRight);
    } else {
        guide->setParent(host);
        guide->move(host->width() - guide->width() - margins.right(), margins.top());
    }
    m_sheildWindow->setOnCloseBlock([this] {
        if (m_sheildWindow)
            m_sheildWindow->close();
        m_sheildWindow = nullptr;
        m_window->setMinimumSize(m_savedMinimumSize);
        m_window->setMaximumSize(m_savedMaximumSize);
    });
    m_sheildWindow->show();
    guide->show();
    if (area) {
        area->show();
        area->followParent(margins, Qt::AlignTop | Qt::AlignRight);
    } else {
        guide->move(host->width() - guide->width() - margins.right(), margins.top());
    }
    m_window->setFixedSize(m_window->size());
}

void QVRTessarineListsWindowController::startFirstLaunchTour()
{
    if (s_tourShown || signedIn() || !tourFactory())
        return;
    if (m_firstLaunchWindow)
        m_firstLaunchWindow->close();
    m_firstLaunchWindow = tourFactory()();
    if (!m_firstLaunchWindow)
        return;
    // A window of its own, kept above the home window (and going with it).
    m_firstLaunchWindow->setParent(m_window, m_firstLaunchWindow->windowFlags() | Qt::Window);
    m_firstLaunchWindow->setWindowFlag(Qt::WindowStaysOnTopHint);
    s_tourShown = true;
    m_tourShownAt.start();
    if (m_window)
        m_window->installEventFilter(this);
    bringFirstLaunchTourToFront();
}

bool QVRTessarineListsWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Only while the windows come up: later the user may well turn to the home window.
    if (event->type() == QEvent::WindowActivate && watched == m_window && m_firstLaunchWindow &&
        m_firstLaunchWindow->isVisible() && m_tourShownAt.isValid() && m_tourShownAt.elapsed() < kTourTakesKeyboardMs)
        QTimer::singleShot(0, this, [this] {
            // Never away from a dialogue that came up meanwhile (the sign-in wall chosen from the menu).
            if (m_firstLaunchWindow && m_firstLaunchWindow->isVisible() && !QApplication::activeModalWidget())
                m_firstLaunchWindow->activateWindow();
        });
    return QObject::eventFilter(watched, event);
}

void QVRTessarineListsWindowController::bringFirstLaunchTourToFront()
{
    if (!m_firstLaunchWindow)
        return;
    m_firstLaunchWindow->show();
    m_firstLaunchWindow->raise();
    m_firstLaunchWindow->activateWindow();
}

void QVRTessarineListsWindowController::resetFirstLaunchTourForTesting()
{
    s_tourShown = false;
}

void QVRTessarineListsWindowController::setClockForTesting(std::function<qint64()> clockFunction)
{
    activationClock() = std::move(clockFunction);
    s_lastActivationRefresh = 0;
}

void QVRTessarineListsWindowController::setFlashMillisecondsForTesting(int milliseconds)
{
    flashMilliseconds() = milliseconds > 0 ? milliseconds : kFlashMilliseconds;
}

void QVRTessarineListsWindowController::setFirstLaunchTourFactory(std::function<QWidget*()> factory)
{
    tourFactory() = std::move(factory);
}
