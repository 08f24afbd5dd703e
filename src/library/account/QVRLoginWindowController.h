#pragma once

#include <optional>

#include <QWidget>

#include "platform/Error.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

// A small sign-in window of its own: a user name and password, or the social network's sign-in. A sign-in that
// goes through says "Success!" and closes the window; a failure is alerted with its description and the window
// stays. The social sign-in window closed without signing in says nothing. A sign-in replaced by a newer one
// (from another window) is passed over. Main thread only.
class QVRLoginWindowController : public QWidget {
    Q_OBJECT
public:
    explicit QVRLoginWindowController(QWidget* parent = nullptr);
    ~QVRLoginWindowController() override;

    // Shows the one stand-alone sign-in window (made on first use, deleted when it closes) and brings it forward.
    static QVRLoginWindowController* showShared();

    QLineEdit* usernameTextField() const { return m_usernameField; }
    QLineEdit* passwordTextField() const { return m_passwordField; }
    QPushButton* loginButton() const { return m_loginButton; }
    QPushButton* facebookButton() const { return m_facebookButton; }
    QProgressBar* progressIndicator() const { return m_progressIndicator; }

    void loginButtonPressed();
    void facebookButtonPressed();
    // `signedIn` false without an error: nothing happened (the social window was closed).
    void handleLoginComplete(const std::optional<Error>& error, bool signedIn = true);

private:
    QLineEdit* m_usernameField = nullptr;
    QLineEdit* m_passwordField = nullptr;
    QPushButton* m_loginButton = nullptr;
    QPushButton* m_facebookButton = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
};
