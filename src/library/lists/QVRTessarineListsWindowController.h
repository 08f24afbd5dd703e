#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include "controls/INAppStoreWindow.h"
#include "controls/MouseEventShieldWindow.h"
#include "library/guides/QVRGuideViewerViewController.h"
#include "library/lists/QVRTessarineListsWebViewController.h"
#include "platform/NotificationCenter.h"

class QProgressBar;
class QStackedLayout;
class QToolButton;
class QVRMyTessarinesViewController;
class QVRTessarineListsWindowController;

// The home window: a 60-point title bar with the tabs, and the page on show below it. Managed by the window
// manager: the Refresh command refreshes the page on show.
class QVRTessarineListsWindow : public INAppStoreWindow {
    Q_OBJECT
public:
    explicit QVRTessarineListsWindow(QVRTessarineListsWindowController* controller);
    QVRTessarineListsWindowController* parentWindowController() const { return m_controller; }

    Q_INVOKABLE bool canRefresh() const { return true; }
    Q_INVOKABLE void performRefresh(uint modifierMask);

protected:
    bool event(QEvent* event) override;

private:
    QPointer<QVRTessarineListsWindowController> m_controller;
};

// The lists window's controller: My Documents, the service's Library and Catalog pages, the analytics page of
// one document, the guide list over the window, and the bridge page scripts reach it through.
//
// The window owns the controller (it goes when the window closes). Main thread only.
class QVRTessarineListsWindowController : public QObject {
    Q_OBJECT
public:
    enum Tab { MyTessarines = 0, Library = 1, Catalog = 2 };
    static constexpr double kTitleBarHeight = 60;
    static constexpr int kActivationRefreshSeconds = 10;
    static constexpr int kFlashMilliseconds = 3000;
    static constexpr int kMinimumHeight = 480;

    QVRTessarineListsWindowController();
    ~QVRTessarineListsWindowController() override;

    QVRTessarineListsWindow* myWindow() const { return m_window; }

    void openMyTessarines();
    void openLibrary();
    void openCatalogue();
    void guideButtonPressed();
    void openAnalytics(const QString& stringID);
    void closeAnalytics();

    void updateSelectedViewController();
    void showUpdating(bool flag);
    void flashOpening();
    void updatesCompletedForViewController(QObject* controller);
    void userDidLogin();
    void userDidLogout();
    void showMyFlows();
    // The window became the active one: refreshes when the last such refresh is more than 10 s old.
    void windowDidBecomeActive();

    // Called by page scripts.
    void launchTessarineWithId(const QString& stringID);
    void goToCatalog();
    void libraryUpdateFinished();

    QObject* selectedViewController() const { return m_selected; }
    QVRMyTessarinesViewController* myTessarinesViewController() const { return m_myTessarines; }
    QVRTessarineListsCatalogLibraryWebViewController* libraryViewController() const { return m_library; }
    QVRTessarineListsCatalogLibraryWebViewController* catalogViewController() const { return m_catalog; }
    QVRTessarineListsAnalyticsWebViewController* analyticsViewController() const { return m_analytics; }
    QToolButton* tabButton(int tag) const;
    QToolButton* guideButton() const { return m_guideButton; }
    QLabel* updatingField() const { return m_updatingField; }
    QProgressBar* activityIndicator() const { return m_activityIndicator; }
    MouseEventShieldWindow* sheildWindow() const { return m_sheildWindow; }
    QVRGuideViewerViewController* guideViewController() const { return m_guideViewController; }
    // Whether the tab shows its selected image.
    bool tabShowsSelected(int tag) const;

    // Seconds since 1970 (tests replace it).
    static void setClockForTesting(std::function<qint64()> clock);
    static void setFlashMillisecondsForTesting(int milliseconds);
    // The first-launch tour, made once per run while nobody is signed in; none unless a library registers one.
    static void setFirstLaunchTourFactory(std::function<QWidget*()> factory);
    // The tour window while it is open.
    QWidget* firstLaunchWindow() const { return m_firstLaunchWindow; }
    // Shows the open tour above the home window and makes it the active window.
    void bringFirstLaunchTourToFront();
    // Lets the next lists window start the tour again (tests).
    static void resetFirstLaunchTourForTesting();

protected:
    // The home window activated as the windows come up (its own activation arrives late, where it is carried out
    // only once the window is on screen): the tour above it takes the keyboard.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepNativeWindowForWebPages();
    void setUpTabBar();
    void setSelectedButton(QToolButton* button);
    void setContent(QWidget* view, QObject* controller);
    void dropAnalytics();
    void startFirstLaunchTour();

    QPointer<QVRTessarineListsWindow> m_window;
    QVRMyTessarinesViewController* m_myTessarines = nullptr;
    QPointer<QVRTessarineListsCatalogLibraryWebViewController> m_library;
    QPointer<QVRTessarineListsCatalogLibraryWebViewController> m_catalog;
    QPointer<QVRTessarineListsAnalyticsWebViewController> m_analytics;
    QPointer<QObject> m_selected;
    QPointer<QVRGuideViewerViewController> m_guideViewController;
    QPointer<MouseEventShieldWindow> m_sheildWindow;
    QPointer<QWidget> m_firstLaunchWindow;
    QElapsedTimer m_tourShownAt;
    static constexpr int kTourTakesKeyboardMs = 3000;
    QStackedLayout* m_pages = nullptr;
    QToolButton* m_tabButtons[3] = {nullptr, nullptr, nullptr};
    QToolButton* m_guideButton = nullptr;
    QLabel* m_updatingField = nullptr;
    QProgressBar* m_activityIndicator = nullptr;
    QSize m_savedMinimumSize;
    QSize m_savedMaximumSize;
    NotificationObservation m_logoutObservation;
    NotificationObservation m_loginObservation;
    NotificationObservation m_analyticsObservation;
};
