#pragma once

#include <functional>
#include <optional>

#include <QDialog>
#include <QList>
#include <QString>

#include "platform/Error.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWidget;

// The sign-in wall: one window showing one page at a time (landing, e-mail sign-in, sign-up, success), with a
// back button over the page stack and, when shown as a sheet, a skip button. loginCompleted() tells the caller
// whether a sign-in or sign-up went through. Use open() and finished; only the start-up hook runs it with exec().
// As a free window it closes itself 2 s after the success page; as a sheet with shouldCloseOnSuccess it ends at
// once.
class QVRRegisterWallWindowController : public QDialog {
    Q_OBJECT
public:
    enum class Page { Landing, Login, Signup, Success };

    explicit QVRRegisterWallWindowController(QWidget* parent = nullptr);
    ~QVRRegisterWallWindowController() override;

    void setLandingVCMessageText(const QString& text);
    QString landingMessageShown() const;
    void setPresentedAsModalSheet(bool sheet);
    void setShouldCloseOnSuccess(bool close) { m_shouldCloseOnSuccess = close; }
    bool loginCompleted() const { return m_loginCompleted; }

    void switchToVC(Page page);
    void backButtonPressed();
    void skipButtonPressed();
    // The social sign-in, run by the hook the account registration sets (nothing without it). The hook is given
    // the wall and answers through its callback: an error, or success (true) or nothing (false, window closed).
    using SocialSignIn =
        std::function<void(QWidget* over, std::function<void(const std::optional<Error>&, bool signedIn)>)>;
    static void setSocialSignIn(SocialSignIn signIn);
    void doFacebookLogin();

    // The notice that the service cannot be reached (checked each time the wall shows, and set by a sign-in
    // that could not connect); empty while none shows.
    QString serviceNoticeShown() const;
    void checkService();

    Page currentPage() const;
    QList<Page> pageStack() const { return m_backlog; }
    bool backButtonVisible() const;
    bool skipButtonVisible() const;

    // The pages' controls (tests and the page actions).
    QLineEdit* loginEmailField() const { return m_loginEmail; }
    QLineEdit* loginPasswordField() const { return m_loginPassword; }
    QPushButton* loginSubmitButton() const { return m_loginSubmit; }
    QPushButton* forgotPasswordButton() const { return m_forgotPassword; }
    QLineEdit* signupDisplayNameField() const { return m_signupDisplayName; }
    QLineEdit* signupEmailField() const { return m_signupEmail; }
    QLineEdit* signupPasswordField() const { return m_signupPassword; }
    QPushButton* signupSubmitButton() const { return m_signupSubmit; }

    void loginSubmitPressed();
    void signupSubmitPressed();
    void forgotPasswordPressed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setServiceUnreachableShown(bool shown);
    QWidget* makeLandingPage();
    QWidget* makeLoginPage();
    QWidget* makeSignupPage();
    QWidget* makeSuccessPage();
    void switchToVC(Page page, bool backPressed);
    QWidget* firstField(Page page) const;
    void handleLoginComplete(const std::optional<Error>& error);
    // Fades a button in or out over the page change's time; `shown` keeps where it is going.
    void fadeButton(QPushButton* button, bool& shown, bool show);

    QStackedWidget* m_holder = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_skipButton = nullptr;
    QLabel* m_landingMessage = nullptr;
    QLabel* m_serviceNotice = nullptr;
    QLineEdit* m_loginEmail = nullptr;
    QLineEdit* m_loginPassword = nullptr;
    QPushButton* m_loginSubmit = nullptr;
    QPushButton* m_forgotPassword = nullptr;
    QProgressBar* m_loginProgress = nullptr;
    QLineEdit* m_signupDisplayName = nullptr;
    QLineEdit* m_signupEmail = nullptr;
    QLineEdit* m_signupPassword = nullptr;
    QPushButton* m_signupSubmit = nullptr;
    QProgressBar* m_signupProgress = nullptr;

    QList<Page> m_backlog;
    QString m_messageText;
    bool m_presentedAsModalSheet = false;
    bool m_shouldCloseOnSuccess = false;
    bool m_loginCompleted = false;
    bool m_socialSignInOpen = false;
    bool m_backShown = false;
    bool m_skipShown = false;
};
