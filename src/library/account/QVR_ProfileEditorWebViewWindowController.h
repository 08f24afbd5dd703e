#pragma once

#include <QUrl>

#include "controls/SimpleWebViewWindowController.h"

// The service's profile settings page in a fixed-size window, signed in through the web views' session
// cookies; the page's file buttons ask the file chooser for files (no folders).
class QVR_ProfileEditorWebViewWindowController : public SimpleWebViewWindowController {
    Q_OBJECT
public:
    explicit QVR_ProfileEditorWebViewWindowController(const QUrl& url, QObject* parent = nullptr);

    // "<site>/user/settings".
    static QUrl settingsURL();
    // The Edit Profile command: plants the cookies and shows the editor (one at a time).
    static void editProfile();

protected:
    void windowDidLoad() override;
};
