#pragma once

#include <QUrl>

#include "controls/SimpleWebViewWindowController.h"
#include "platform/NotificationCenter.h"

// The service's profile settings page in a fixed-size window, signed in through the web views' session
// cookies; the page's file buttons ask the file chooser for files (no folders). An editor belongs to the user who
// opened it: it closes when that user signs out, and another user's Edit Profile gets an editor of its own.
class QVR_ProfileEditorWebViewWindowController : public SimpleWebViewWindowController {
    Q_OBJECT
public:
    explicit QVR_ProfileEditorWebViewWindowController(const QUrl& url, QObject* parent = nullptr);

    // "<site>/user/settings".
    static QUrl settingsURL();
    // The Edit Profile command: plants the cookies and shows the editor (one at a time).
    static void editProfile();
    // The shown editor, or nullptr.
    static QVR_ProfileEditorWebViewWindowController* shownEditor();

protected:
    void windowDidLoad() override;

private:
    // Closes the window and lets the controller go.
    void dismiss();

    QString m_authToken; // the user whose page this is
    NotificationObservation m_logoutObservation;
};
