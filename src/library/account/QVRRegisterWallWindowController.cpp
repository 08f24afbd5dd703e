#include "library/account/QVRRegisterWallWindowController.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/Tessutils.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/AlertPresenter.h"
#include "platform/widgets/LinkOpener.h"
#include "service/ServiceReachability.h"
#include "service/ServiceWebSite.h"
#include "strings/UFM.h"

namespace {

constexpr int kFadeMs = 500;
constexpr int kCloseAfterSuccessMs = 2000;

// Fades `widget` from opacity `from` to `to` over a page change's time. The effect goes once the fade is over, so
// the widget draws (and takes input) as a plain widget; `done` runs then.
void fade(QWidget* widget, double from, double to, std::function<void()> done = {})
{
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(from);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setDuration(kFadeMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    QObject::connect(animation, &QPropertyAnimation::finished, widget, [widget, done = std::move(done)] {
        widget->setGraphicsEffect(nullptr);
        if (done)
            done();
    });
    animation->start();
}

QVRRegisterWallWindowController::SocialSignIn& socialSignIn()
{
    static QVRRegisterWallWindowController::SocialSignIn s_signIn;
    return s_signIn;
}

QPushButton* borderedButton(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setStyleSheet(QStringLiteral("QPushButton { font: bold 16px; color: %1; background: white;"
                                         " border: 2px solid #c7c7c7; border-radius: 6px; padding: 6px 18px; }"
                                         "QPushButton:pressed { background: #bfbfbf; }")
                              .arg(Tessutils::tessarineBlackColor().name()));
    return button;
}

QPushButton* linkButton(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; }").arg(Tessutils::tessarineBlue().name()));
    return button;
}

// The social network's button: white bold title with its first "via" in italics. A push button draws plain
// text only, so the title is a label inside it that lets the clicks through to the button.
QPushButton* facebookButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QStringLiteral("facebookButton"));
    button->setAccessibleName(text);
    // Without a frame of its own the button would not show that it has the keyboard: a light ring does.
    button->setStyleSheet(QStringLiteral("QPushButton { background: #3b5998; border: none; border-radius: 6px; }"
                                         "QPushButton:pressed { background: #2d4373; }"
                                         "QPushButton:focus { border: 3px solid rgb(120, 190, 255); }"));
    const qsizetype via = text.toLower().indexOf(QLatin1String("via"));
    QString html = text.toHtmlEscaped();
    if (via >= 0)
        html = text.left(via).toHtmlEscaped() + QStringLiteral("<i>") + text.mid(via, 3).toHtmlEscaped() +
               QStringLiteral("</i>") + text.mid(via + 3).toHtmlEscaped();
    auto* title = new QLabel(html, button);
    title->setTextFormat(Qt::RichText);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("color: white; font: bold 16px; background: transparent;"));
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(button);
    layout->setContentsMargins(18, 8, 18, 8);
    layout->addWidget(title);
    button->setMinimumSize(title->sizeHint() + QSize(36, 16));
    return button;
}

QLineEdit* borderedField(const QString& placeholder, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(placeholder);
    field->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #c7c7c7; border-radius: 4px;"
                                        " background: #f2f2f2; padding: 4px 5px; }"));
    return field;
}

QProgressBar* busyIndicator(QWidget* parent)
{
    auto* indicator = new QProgressBar(parent);
    indicator->setRange(0, 0);
    indicator->setTextVisible(false);
    indicator->setMaximumHeight(6);
    indicator->hide();
    return indicator;
}

} // namespace

QVRRegisterWallWindowController::QVRRegisterWallWindowController(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(UFM::SIGN_IN_TEXT());
    setModal(true);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("QVRRegisterWallWindowController { background: white; }"));
    setAttribute(Qt::WA_QuitOnClose, false);

    m_backButton = linkButton(UFM::BACK_TEXT(), this);
    m_backButton->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; }").arg(Tessutils::tessarineBlackColor().name()));
    connect(m_backButton, &QPushButton::clicked, this, &QVRRegisterWallWindowController::backButtonPressed);
    m_backButton->hide();
    m_skipButton = linkButton(UFM::SKIP_FOR_NOW_TEXT(), this);
    m_skipButton->setStyleSheet(QStringLiteral("QPushButton { color: grey; border: none; }"));
    connect(m_skipButton, &QPushButton::clicked, this, &QVRRegisterWallWindowController::skipButtonPressed);
    m_skipButton->hide();

    m_holder = new QStackedWidget(this);
    m_holder->addWidget(makeLandingPage());
    m_holder->addWidget(makeLoginPage());
    m_holder->addWidget(makeSignupPage());
    m_holder->addWidget(makeSuccessPage());

    auto* top = new QHBoxLayout;
    top->addWidget(m_backButton);
    top->addStretch();
    top->addWidget(m_skipButton);
    // Said over every page while the service cannot be reached: a sign-in could not go through.
    m_serviceNotice = new QLabel(this);
    m_serviceNotice->setObjectName(QStringLiteral("serviceNotice"));
    m_serviceNotice->setWordWrap(true);
    m_serviceNotice->setAlignment(Qt::AlignCenter);
    m_serviceNotice->setStyleSheet(QStringLiteral("color: #B03A2E; font: bold 13px;"));
    m_serviceNotice->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_serviceNotice);
    layout->addWidget(m_holder, 1);
    resize(480, 420);
    // Return in a field belongs to the field (next field, or submit): no button of the wall is the dialog's
    // default, which would otherwise take the key and, say, go back a page. The first page has no field: there
    // Return presses the button that has the keyboard.
    for (auto* button : findChildren<QPushButton*>())
        button->setAutoDefault(m_holder->widget(static_cast<int>(Page::Landing))->isAncestorOf(button));

    setLandingVCMessageText(QString());
    switchToVC(Page::Landing);
}

QVRRegisterWallWindowController::~QVRRegisterWallWindowController() = default;

void QVRRegisterWallWindowController::setSocialSignIn(SocialSignIn signIn)
{
    socialSignIn() = std::move(signIn);
}

QWidget* QVRRegisterWallWindowController::makeLandingPage()
{
    auto* page = new QWidget;
    m_landingMessage = new QLabel(page);
    m_landingMessage->setAlignment(Qt::AlignCenter);
    m_landingMessage->setWordWrap(true);
    m_landingMessage->setStyleSheet(QStringLiteral("font: bold 18px;"));
    auto* facebook = facebookButton(UFM::SIGNUP_VIA_FACEBOOK_TEXT(), page);
    connect(facebook, &QPushButton::clicked, this, &QVRRegisterWallWindowController::doFacebookLogin);
    auto* login = borderedButton(UFM::LOGIN_TEXT(), page);
    connect(login, &QPushButton::clicked, this, [this] { switchToVC(Page::Login); });
    auto* signup = borderedButton(UFM::SIGNUP_TEXT(), page);
    connect(signup, &QPushButton::clicked, this, [this] { switchToVC(Page::Signup); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_landingMessage);
    layout->addWidget(facebook);
    layout->addWidget(new QLabel(UFM::THE_WORD_OR(), page), 0, Qt::AlignCenter);
    layout->addWidget(new QLabel(UFM::ALREADY_HAVE_AN_ACCOUNT_TEXT(), page), 0, Qt::AlignCenter);
    layout->addWidget(login);
    layout->addWidget(new QLabel(UFM::CREATE_NEW_ACCOUNT_TEXT(), page), 0, Qt::AlignCenter);
    layout->addWidget(signup);
    layout->addStretch();
    return page;
}

QWidget* QVRRegisterWallWindowController::makeLoginPage()
{
    auto* page = new QWidget;
    auto* facebook = facebookButton(UFM::LOGIN_VIA_FACEBOOK_TEXT(), page);
    connect(facebook, &QPushButton::clicked, this, &QVRRegisterWallWindowController::doFacebookLogin);
    m_loginEmail = borderedField(UFM::EMAIL_TEXT(), page);
    m_loginPassword = borderedField(UFM::PASSWORD_TEXT(), page);
    m_loginPassword->setEchoMode(QLineEdit::Password);
    m_loginSubmit = borderedButton(QStringLiteral("Sign In"), page);
    m_loginProgress = busyIndicator(page);
    m_forgotPassword = linkButton(UFM::FORGOT_PASSWORD_TEXT(), page);
    auto* notRegistered = linkButton(UFM::NOT_REGISTERED_TEXT(), page);
    connect(m_loginEmail, &QLineEdit::returnPressed, m_loginPassword, qOverload<>(&QWidget::setFocus));
    connect(m_loginPassword, &QLineEdit::returnPressed, m_loginSubmit, &QPushButton::click);
    connect(m_loginSubmit, &QPushButton::clicked, this, &QVRRegisterWallWindowController::loginSubmitPressed);
    connect(m_forgotPassword, &QPushButton::clicked, this, &QVRRegisterWallWindowController::forgotPasswordPressed);
    connect(notRegistered, &QPushButton::clicked, this, [this] { switchToVC(Page::Signup); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(facebook);
    layout->addWidget(new QLabel(UFM::THE_WORD_OR(), page), 0, Qt::AlignCenter);
    layout->addWidget(m_loginEmail);
    layout->addWidget(m_loginPassword);
    layout->addWidget(m_loginSubmit);
    layout->addWidget(m_loginProgress);
    layout->addWidget(m_forgotPassword);
    layout->addWidget(notRegistered);
    layout->addStretch();
    return page;
}

QWidget* QVRRegisterWallWindowController::makeSignupPage()
{
    auto* page = new QWidget;
    auto* header = new QLabel(UFM::SIGNUP_FOR_A_TESSARINE_ACCOUNT_TEXT(), page);
    header->setAlignment(Qt::AlignCenter);
    auto* facebook = facebookButton(UFM::SIGNUP_VIA_FACEBOOK_TEXT(), page);
    connect(facebook, &QPushButton::clicked, this, &QVRRegisterWallWindowController::doFacebookLogin);
    m_signupDisplayName = borderedField(UFM::DISPLAY_NAME_TEXT(), page);
    m_signupEmail = borderedField(UFM::EMAIL_TEXT(), page);
    m_signupPassword = borderedField(UFM::PASSWORD_TEXT(), page);
    m_signupPassword->setEchoMode(QLineEdit::Password);
    m_signupSubmit = borderedButton(QStringLiteral("Sign Up"), page);
    m_signupProgress = busyIndicator(page);
    auto* alreadyRegistered = linkButton(UFM::ALREADY_REGISTERED_SIGN_IN_TEXT(), page);
    connect(m_signupDisplayName, &QLineEdit::returnPressed, m_signupEmail, qOverload<>(&QWidget::setFocus));
    connect(m_signupEmail, &QLineEdit::returnPressed, m_signupPassword, qOverload<>(&QWidget::setFocus));
    connect(m_signupPassword, &QLineEdit::returnPressed, m_signupSubmit, &QPushButton::click);
    connect(m_signupSubmit, &QPushButton::clicked, this, &QVRRegisterWallWindowController::signupSubmitPressed);
    connect(alreadyRegistered, &QPushButton::clicked, this, [this] { switchToVC(Page::Login); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(header);
    layout->addWidget(facebook);
    layout->addWidget(new QLabel(UFM::THE_WORD_OR(), page), 0, Qt::AlignCenter);
    layout->addWidget(m_signupDisplayName);
    layout->addWidget(m_signupEmail);
    layout->addWidget(m_signupPassword);
    layout->addWidget(m_signupSubmit);
    layout->addWidget(m_signupProgress);
    layout->addWidget(alreadyRegistered);
    layout->addStretch();
    return page;
}

QWidget* QVRRegisterWallWindowController::makeSuccessPage()
{
    auto* page = new QWidget;
    auto* label = new QLabel(UFM::SUCCESSFULLY_SIGNED_IN_TEXT(), page);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("font: bold 18px;"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label);
    return page;
}

void QVRRegisterWallWindowController::setLandingVCMessageText(const QString& text)
{
    m_messageText = text.isEmpty() ? UFM::YOU_NEED_TO_SIGN_IN_TEXT() : text;
    m_landingMessage->setText(m_messageText);
}

QString QVRRegisterWallWindowController::landingMessageShown() const
{
    return m_landingMessage->text();
}

void QVRRegisterWallWindowController::setPresentedAsModalSheet(bool sheet)
{
    m_presentedAsModalSheet = sheet;
    // Set before the wall shows: no fade.
    m_skipShown = sheet && currentPage() != Page::Success;
    m_skipButton->setGraphicsEffect(nullptr);
    m_skipButton->setVisible(m_skipShown);
}

QVRRegisterWallWindowController::Page QVRRegisterWallWindowController::currentPage() const
{
    return m_backlog.isEmpty() ? Page::Landing : m_backlog.last();
}

bool QVRRegisterWallWindowController::backButtonVisible() const
{
    return m_backShown;
}

bool QVRRegisterWallWindowController::skipButtonVisible() const
{
    return m_skipShown;
}

void QVRRegisterWallWindowController::switchToVC(Page page)
{
    if (page == Page::Success) {
        fadeButton(m_skipButton, m_skipShown, false);
        // Bound to the wall, so the close dies with it.
        QTimer::singleShot(kCloseAfterSuccessMs, this, [this] { done(QDialog::Accepted); });
    } else {
        fadeButton(m_skipButton, m_skipShown, m_presentedAsModalSheet);
    }
    switchToVC(page, false);
}

void QVRRegisterWallWindowController::fadeButton(QPushButton* button, bool& shown, bool show)
{
    if (shown == show)
        return;
    shown = show;
    // Fades from where it is now (a fade the other way may be under way).
    auto* old = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
    const double from = button->isHidden() ? 0.0 : old ? old->opacity() : 1.0;
    fade(button, from, show ? 1.0 : 0.0, [button, show] { button->setVisible(show); });
    button->show();
}

void QVRRegisterWallWindowController::switchToVC(Page page, bool backPressed)
{
    if (!m_backlog.isEmpty() && m_backlog.last() == page)
        return;
    QWidget* view = m_holder->widget(static_cast<int>(page));
    m_holder->setCurrentWidget(view);
    // Titled after what it asks for: an account to sign up for, else signing in.
    setWindowTitle(page == Page::Signup ? UFM::SIGNUP_TEXT() : UFM::SIGN_IN_TEXT());
    // A page typed into takes the keyboard in its first field (the stack would give it to the page's first button).
    if (QWidget* first = firstField(page))
        first->setFocus(Qt::OtherFocusReason);
    fade(view, 0.0, 1.0);
    fadeButton(m_backButton, m_backShown, page != Page::Landing && page != Page::Success);
    if (backPressed)
        m_backlog.removeLast();
    else
        m_backlog.append(page);
    if (page == Page::Success) {
        m_loginCompleted = true;
        if (m_shouldCloseOnSuccess)
            done(QDialog::Accepted);
    }
}

QWidget* QVRRegisterWallWindowController::firstField(Page page) const
{
    switch (page) {
    case Page::Login:
        return m_loginEmail;
    case Page::Signup:
        return m_signupDisplayName;
    case Page::Landing:
    case Page::Success:
        break;
    }
    return nullptr;
}

void QVRRegisterWallWindowController::backButtonPressed()
{
    if (m_backlog.size() >= 2)
        switchToVC(m_backlog.at(m_backlog.size() - 2), true);
}

void QVRRegisterWallWindowController::skipButtonPressed()
{
    done(QDialog::Rejected);
}

void QVRRegisterWallWindowController::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    checkService();
}

void QVRRegisterWallWindowController::checkService()
{
    QPointer<QVRRegisterWallWindowController> self(this);
    ServiceReachability::probe(this, [self](bool reachable) {
        if (self)
            self->setServiceUnreachableShown(!reachable);
    });
}

void QVRRegisterWallWindowController::setServiceUnreachableShown(bool shown)
{
    m_serviceNotice->setText(shown ? ServiceReachability::unreachableText() : QString());
    m_serviceNotice->setVisible(shown);
}

QString QVRRegisterWallWindowController::serviceNoticeShown() const
{
    return m_serviceNotice->isVisible() ? m_serviceNotice->text() : QString();
}

void QVRRegisterWallWindowController::handleLoginComplete(const std::optional<Error>& error)
{
    if (!error) {
        setServiceUnreachableShown(false);
        switchToVC(Page::Success);
        return;
    }
    // The service was never reached: say so in our words, not the network layer's.
    if (ServiceReachability::isUnreachableError(*error)) {
        setServiceUnreachableShown(true);
        AlertRequest alert;
        alert.style = AlertRequest::Style::Warning;
        alert.messageText = UFM::IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET();
        alert.informativeText = UFM::CHECK_YOUR_CONNECTION_TEXT();
        AlertPresenter::shared().show(alert, this, [](const AlertResponse&) {});
        return;
    }
    // A sign-in replaced by a newer one from this wall needs no word.
    if (error->domain == QLatin1String(ZERI_AuthenticationHandler::kErrorDomain) &&
        error->code == ZERI_AuthenticationHandler::kReplacedCode)
        return;
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = error->message.isEmpty() ? error->description() : error->message;
    AlertPresenter::shared().show(alert, this, [](const AlertResponse&) {});
}

void QVRRegisterWallWindowController::loginSubmitPressed()
{
    m_loginProgress->show();
    m_loginSubmit->setEnabled(false);
    QPointer<QVRRegisterWallWindowController> self(this);
    ZERI_AuthenticationHandler::authHandler()->loginCorvikWithEmail(m_loginEmail->text(), m_loginPassword->text(),
                                                                    [self](const std::optional<Error>& error) {
                                                                        if (!self)
                                                                            return;
                                                                        self->m_loginProgress->hide();
                                                                        self->m_loginSubmit->setEnabled(true);
                                                                        self->handleLoginComplete(error);
                                                                    });
}

void QVRRegisterWallWindowController::signupSubmitPressed()
{
    m_signupSubmit->setEnabled(false);
    m_signupProgress->show();
    QPointer<QVRRegisterWallWindowController> self(this);
    const QString email = m_signupEmail->text();
    ZERI_AuthenticationHandler::authHandler()->registerCorvikUserWithUsername(
        email, m_signupPassword->text(), email, QString(), m_signupDisplayName->text(), QString(),
        [self](const std::optional<Error>& error) {
            if (!self)
                return;
            self->m_signupSubmit->setEnabled(true);
            self->m_signupProgress->hide();
            self->handleLoginComplete(error);
        });
}

void QVRRegisterWallWindowController::forgotPasswordPressed()
{
    QUrl url = ServiceWebSite::root();
    url.setPath(QStringLiteral("/forgot_password"));
    LinkOpener::shared().openUrl(url);
}

void QVRRegisterWallWindowController::doFacebookLogin()
{
    if (m_socialSignInOpen || !socialSignIn())
        return;
    m_socialSignInOpen = true;
    QPointer<QVRRegisterWallWindowController> self(this);
    socialSignIn()(this, [self](const std::optional<Error>& error, bool signedIn) {
        if (!self)
            return;
        self->m_socialSignInOpen = false;
        if (error)
            self->handleLoginComplete(error);
        else if (signedIn)
            self->switchToVC(Page::Success);
    });
}
