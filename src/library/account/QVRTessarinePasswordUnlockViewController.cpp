#include "library/account/QVRTessarinePasswordUnlockViewController.h"

#include <QApplication>
#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/FloatingWindowCloser.h"
#include "controls/ViewControllerWindowController.h"
#include "controls/ViewUtils.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "service/ZERI_APIBinding.h"
#include "strings/UFM.h"

namespace {

// Tells the prompt's owner when its window closes without an unlock.
class PromptWindowWatcher : public QObject {
public:
    PromptWindowWatcher(ViewControllerWindowController* windowController, std::function<void()> onDismissed)
        : QObject(windowController)
        , m_windowController(windowController)
        , m_onDismissed(std::move(onDismissed))
    {
        windowController->window()->installEventFilter(this);
    }
    void unlocked() { m_onDismissed = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_windowController->window() && event->type() == QEvent::Close) {
            if (auto dismissed = std::exchange(m_onDismissed, nullptr))
                dismissed();
            m_windowController->deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ViewControllerWindowController* m_windowController;
    std::function<void()> m_onDismissed;
};

} // namespace

QVRTessarinePasswordUnlockViewController::QVRTessarinePasswordUnlockViewController(const QString& stringID,
                                                                                   QObject* parent)
    : ViewController(parent)
    , m_stringID(stringID)
{
    setTitle(stringID);
}

QVRTessarinePasswordUnlockViewController::~QVRTessarinePasswordUnlockViewController()
{
    if (m_request)
        m_request->cancel();
}

void QVRTessarinePasswordUnlockViewController::loadView()
{
    auto* view = new QWidget;
    view->setWindowTitle(m_stringID);
    auto* explanation = new QLabel(UFM::THIS_TESSARINE_IS_PASS_PROTECTED_TEXT(), view);
    explanation->setWordWrap(true);
    m_passwordField = new QLineEdit(view);
    m_passwordField->setEchoMode(QLineEdit::Password);
    m_passwordField->setPlaceholderText(UFM::ENTER_PASSWORD_TEXT());
    m_unlockButton = new QPushButton(UFM::OPEN_TEXT(), view);
    QPalette palette = m_unlockButton->palette();
    palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
    m_unlockButton->setPalette(palette);
    connect(m_passwordField, &QLineEdit::returnPressed, m_unlockButton, &QPushButton::click);
    connect(m_unlockButton, &QPushButton::clicked, this, &QVRTessarinePasswordUnlockViewController::attemptUnlock);
    auto* layout = new QVBoxLayout(view);
    layout->addWidget(explanation);
    layout->addWidget(m_passwordField);
    layout->addWidget(m_unlockButton, 0, Qt::AlignRight);
    view->resize(360, 150);
    setView(view);
}

void QVRTessarinePasswordUnlockViewController::attemptUnlock()
{
    view();
    m_unlockButton->setEnabled(false);
    if (m_request)
        m_request->cancel();
    m_request =
        ZERI_APIBinding::getTessarineByStringId(m_stringID, Tessutils::corvikAuthToken(), m_passwordField->text(),
                                                [this](const QString& reply, const QString&) { handleReply(reply); });
}

void QVRTessarinePasswordUnlockViewController::handleReply(const QString& reply)
{
    m_request.reset();
    m_unlockButton->setEnabled(true);
    const QJsonDocument document = QJsonDocument::fromJson(reply.toUtf8());
    const SafeDictionary parsed(document.isObject() ? document.object() : QJsonObject());
    const SafeDictionary tessarine =
        parsed.safeDictionaryForKey(QStringLiteral("tessarine")).value_or(SafeDictionary());
    if (!tessarine.boolForKey(QStringLiteral("needs_password")) &&
        tessarine.valueForKey(QStringLiteral("document_json_published")).isObject()) {
        if (m_onUnlocked)
            m_onUnlocked(reply);
        return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = m_stringID;
    alert.buttons = {UFM::OK_TEXT()};
    alert.informativeText = UFM::PASSWORD_WAS_INCORRECT_TEXT();
    // A connection that failed is not a wrong password: say what happened.
    const SafeDictionary error = parsed.safeDictionaryForKey(QStringLiteral("error")).value_or(SafeDictionary());
    if (error.stringForKey(QStringLiteral("errorType")) == QLatin1String("connectionError")) {
        const QString description = error.stringForKey(QStringLiteral("localizedDescription"));
        if (!description.isEmpty())
            alert.informativeText = description;
    }
    // Back from the alert, the refused password is selected in its field: what is typed next replaces it.
    QPointer<QLineEdit> field = m_passwordField;
    AlertPresenter::shared().show(alert, view(), [field](const AlertResponse&) {
        if (!field)
            return;
        field->selectAll();
        field->setFocus(Qt::OtherFocusReason);
    });
}

void QVRTessarinePasswordUnlockViewController::showPrompt(const QString& stringID,
                                                          std::function<void(const QString& reply)> onUnlocked,
                                                          std::function<void()> onDismissed)
{
    auto* windowController = new ViewControllerWindowController();
    auto* prompt = new QVRTessarinePasswordUnlockViewController(stringID);
    windowController->setViewController(prompt);
    windowController->window()->setWindowTitle(stringID);
    // Escape, Ctrl+W and its own close button leave it without opening, also where no window manager decorates it.
    FloatingWindowCloser::install(windowController->window(), UFM::SAYS_CLOSE());
    auto* watcher = new PromptWindowWatcher(windowController, std::move(onDismissed));
    QPointer<ViewControllerWindowController> owner(windowController);
    prompt->setOnTessarineUnlocked([owner, watcher, onUnlocked = std::move(onUnlocked)](const QString& reply) {
        watcher->unlocked();
        if (owner)
            owner->close();
        if (onUnlocked)
            onUnlocked(reply);
    });
    openPrompts().append(windowController);
    // It opens over the window that waits for it (the viewer opening the document), not wherever there is room.
    if (QWidget* waiting = QApplication::activeWindow())
        ViewUtils::centerView(windowController->window(), waiting);
    windowController->showWindow();
}

QList<QPointer<ViewControllerWindowController>>& QVRTessarinePasswordUnlockViewController::openPrompts()
{
    static QList<QPointer<ViewControllerWindowController>> s_prompts;
    s_prompts.removeAll(nullptr);
    return s_prompts;
}

void QVRTessarinePasswordUnlockViewController::closePrompts(const QString& stringID)
{
    const auto prompts = openPrompts();
    for (const QPointer<ViewControllerWindowController>& prompt : prompts) {
        if (prompt && prompt->window() && prompt->window()->windowTitle() == stringID)
            prompt->close();
    }
}
