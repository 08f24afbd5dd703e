#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>

#include "controls/MouseEventShieldWindow.h"
#include "platform/NotificationCenter.h"

class ComboBoxView;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QVR_ToolbarButton;
class WindowSizeLock;
class ZERI_TessarineModel;

// The toolbar in a creator window's title band: the document title (opens the title editor), the view, save
// draft, post, share, details, insert, add screen, guide and side menu buttons, the read-only share link with
// the overlay that posts while there is none, the window's spinner and the zoom read-out with its menu.
//
// The zoom read-out follows the shown board's level; a level chosen in its menu is posted to the window. Commands
// that belong to libraries which have not registered stay disabled. Main thread only.
class QVR_CreatorToolBarView : public QWidget {
    Q_OBJECT
public:
    static const QString kAutoLaunchedGuideCountKey; // "kNumberOfTimesAutoLauncedGuideUserDefaultsKey"

    explicit QVR_CreatorToolBarView(QWidget* parent = nullptr);
    ~QVR_CreatorToolBarView() override;

    // The toolbar of a creator window, or nullptr for any other window.
    static QVR_CreatorToolBarView* toolbarForWindow(QWidget* window);

    void setTessarineTitle(const QString& title);
    void updateDisplayedShareUrl(const QString& url);
    // Nested: the spinner shows from the first start until the matching last stop.
    void startProgressIndicator();
    void stopProgressIndicator();
    int progressIndicatorShowCount() const { return m_progressCount; }
    // Shows `level` (rounded up to a whole percent) and checks the menu items standing for it.
    void respondToZoomChange(double level);
    void zoomMenuItemChosen(QAction* item);
    // Enables the buttons for what the window's document and the registered libraries allow.
    void updateButtonStates();

    void viewButtonPressed();
    void saveDraftButtonPressed();
    // The add-element menu under the insert button.
    void insertButtonPressed();
    // The new-screen chooser under the add-screen button.
    void addScreenButtonPressed();
    // With Alt held (the click's own modifiers) an administrator is asked whether to post without full-sized
    // pictures; otherwise the document is posted.
    void postButtonPressed(Qt::KeyboardModifiers modifiers);
    // The answer of the admin-post alert: 0 (the first button) posts as administrator, anything else nothing.
    void doAdminPost(int button);
    void shareButtonPressed();
    void urlFieldOverlayButtonPressed();
    void guideButtonPressed();
    void titleLabelPressed();
    void sideMenuButtonPressed();
    // Closes the open guide or title editor, if any, giving the window back its size limits.
    void closeShield();
    // The rectangle a popover of `button` points at: the button's column over the whole toolbar height, in the
    // top-level window's coordinates, y down.
    QRect popoverAnchorForButton(const QWidget* button) const;

    static int numberOfTimesAutoLaunchedGuide();
    static void incrementNumberOfTimesAutoLaunchedGuide();

    QVR_ToolbarButton* viewButton() const { return m_viewButton; }
    QVR_ToolbarButton* saveDraftButton() const { return m_saveDraftButton; }
    QVR_ToolbarButton* postButton() const { return m_postButton; }
    QVR_ToolbarButton* shareButton() const { return m_shareButton; }
    QVR_ToolbarButton* detailsButton() const { return m_detailsButton; }
    QVR_ToolbarButton* insertButton() const { return m_insertButton; }
    QVR_ToolbarButton* addScreenButton() const { return m_addScreenButton; }
    QVR_ToolbarButton* guideButton() const { return m_guideButton; }
    QVR_ToolbarButton* sidebarMenuButton() const { return m_sidebarMenuButton; }
    QPushButton* titleLabel() const { return m_titleLabel; }
    QLineEdit* urlField() const { return m_urlField; }
    QPushButton* urlFieldOverlayButton() const { return m_urlOverlayButton; }
    QWidget* globalProgressIndicator() const { return m_spinner; }
    ComboBoxView* comboBox() const { return m_comboBox; }
    QMenu* zoomMenu() const { return m_zoomMenu; }
    MouseEventShieldWindow* shieldWindow() const { return m_shield; }
    QWidget* openPanel() const { return m_panel; }

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<ZERI_TessarineModel> document() const;
    QVR_ToolbarButton* makeButton(const QString& title, const QString& icon);
    // Lays a shield over the window holding `panel` (made by `make` in the shield's close view) and locks the
    // window's size until the shield closes.
    bool openShield(const std::function<QWidget*(QWidget* closeView)>& make);

    QVR_ToolbarButton* m_viewButton = nullptr;
    QVR_ToolbarButton* m_saveDraftButton = nullptr;
    QVR_ToolbarButton* m_postButton = nullptr;
    QVR_ToolbarButton* m_shareButton = nullptr;
    QVR_ToolbarButton* m_detailsButton = nullptr;
    QVR_ToolbarButton* m_insertButton = nullptr;
    QVR_ToolbarButton* m_addScreenButton = nullptr;
    QVR_ToolbarButton* m_guideButton = nullptr;
    QVR_ToolbarButton* m_sidebarMenuButton = nullptr;
    QPushButton* m_titleLabel = nullptr;
    QLineEdit* m_urlField = nullptr;
    QPushButton* m_urlOverlayButton = nullptr;
    QWidget* m_spinner = nullptr;
    ComboBoxView* m_comboBox = nullptr;
    QMenu* m_zoomMenu = nullptr;
    int m_progressCount = 0;
    Qt::KeyboardModifiers m_postClickModifiers;
    bool m_shownOnce = false;

    QPointer<MouseEventShieldWindow> m_shield;
    // An add button greyed while it had the keyboard, and where the keyboard moved on to then.
    QPointer<QWidget> m_greyedWithKeyboard;
    QPointer<QWidget> m_keyboardMovedTo;
    QPointer<QWidget> m_panel;
    std::shared_ptr<WindowSizeLock> m_sizeLock;
    NotificationObservation m_zoomObservation;
    NotificationObservation m_busyObservation;
};
