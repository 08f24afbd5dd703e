#include "library/account/QVRLoginWindowController.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/Tessutils.h"
#include "library/account/QVRFacebookLoginWindowController.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"

namespace {

QPointer<QVRLoginWindowController> s_shared;

void colourText(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, Tessutils::tessarineBlackColor());
    palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
    widget->setPalette(palette);
}

bool wasReplaced(const Error& error)
{
    return error.domain == QLatin1String(ZERI_AuthenticationHandler::kErrorDomain) &&
           error.code == ZERI_AuthenticationHandler::kReplacedCode;
}

} // namespace

QVRLoginWindowController::QVRLoginWindowController(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(UFM::SIGN_IN_TEXT());
    m_usernameField = new QLineEdit(this);
    m_usernameField->setPlaceholderText(UFM::USERNAME_TEXT());
    m_passwordField = new QLineEdit(this);
    m_passwordField->setEchoMode(QLineEdit::Password);
    m_passwordField->setPlaceholderText(UFM::PASSWORD_TEXT());
    m_loginButton = new QPushButton(UFM::SIGN_IN_TEXT(), this);
    m_loginButton->setDefault(true);
    m_facebookButton = new QPushButton(UFM::LOGIN_VIA_FACEBOOK_TEXT(), this);
    m_progressIndicator = new QProgressBar(this);
    m_progressIndicator->setRange(0, 0);
    m_progressIndicator->setTextVisible(false);
    m_progressIndicator->setMaximumHeight(6);
    m_progressIndicator->hide();
    for (QWidget* widget : {static_cast<QWidget*>(m_usernameField), static_cast<QWidget*>(m_passwordField),
                            static_cast<QWidget*>(m_loginButton)})
        colourText(widget);

    connect(m_usernameField, &QLineEdit::returnPressed, m_passwordField, qOverload<>(&QWidget::setFocus));
    connect(m_passwordField, &QLineEdit::returnPressed, m_loginButton, &QPushButton::click);
    connect(m_loginButton, &QPushButton::clicked, this, &QVRLoginWindowController::loginButtonPressed);
    connect(m_facebookButton, &QPushButton::clicked, this, &QVRLoginWindowController::facebookButtonPressed);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_facebookButton);
    buttons->addStretch();
    buttons->addWidget(m_loginButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_usernameField);
    layout->addWidget(m_passwordField);
    layout->addWidget(m_progressIndicator);
    layout->addLayout(buttons);
    resize(360, 160);
}

QVRLoginWindowController::~QVRLoginWindowController() = default;

QVRLoginWindowController* QVRLoginWindowController::showShared()
{
    if (!s_shared) {
        s_shared = new QVRLoginWindowController();
        s_shared->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_shared->show();
    s_shared->raise();
    s_shared->activateWindow();
    return s_shared;
}

void QVRLoginWindowController::loginButtonPressed()
{
    m_progressIndicator->show();
    m_loginButton->setEnabled(false);
    QPointer<QVRLoginWindowController> self(this);
    ZERI_AuthenticationHandler::authHandler()->loginCorvikWithEmail(m_usernameField->text(), m_passwordField->text(),
                                                                    [self](const std::optional<Error>& error) {
                                                                        if (!self)
                                                                            return;
                                                                        self->m_progressIndicator->hide();
                                                                        self->m_loginButton->setEnabled(true);
                                                                        self->handleLoginComplete(error);
                                                                    });
}

void QVRLoginWindowController::facebookButtonPressed()
{
    // A social window already open (the sign-in wall's) would never answer this one: nothing to do.
    if (QVRFacebookSession::sharedInstance().isLoginWindowOpen())
        return;
    m_loginButton->setEnabled(false);
    QPointer<QVRLoginWindowController> self(this);
    QVRFacebookSession::sharedInstance().login(
        [self](const std::optional<Error>& error, bool signedIn) {
            if (!self)
                return;
            self->handleLoginComplete(error, signedIn);
            self->m_loginButton->setEnabled(true);
        },
        false, this);
}

void QVRLoginWindowController::handleLoginComplete(const std::optional<Error>& error, bool signedIn)
{
    if (error && wasReplaced(*error))
        return;
    AlertRequest alert;
    if (error) {
        alert.style = AlertRequest::Style::Warning;
        alert.messageText = UFM::ERROR_SIGNING_IN_TEXT();
        alert.informativeText = error->message.isEmpty() ? error->description() : error->message;
        AlertPresenter::shared().show(alert, this, [](const AlertResponse&) {});
        return;
    }
    // The social window closed by the user signed nobody in: nothing to report.
    if (!signedIn)
        return;
    alert.messageText = QStringLiteral("Success!");
    QPointer<QVRLoginWindowController> self(this);
    AlertPresenter::shared().show(alert, this, [self](const AlertResponse&) {
        if (self)
            self->close();
    });
}
