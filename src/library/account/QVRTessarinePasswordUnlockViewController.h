#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QPointer>
#include <QString>

#include "controls/ViewController.h"
#include "controls/ViewControllerWindowController.h"

class BlockRequester;
class QLineEdit;
class QPushButton;

// The prompt of a password-protected document: asks the service for the document with the typed password and
// hands the whole reply on once it opens. A wrong password is alerted (titled with the string id); a connection
// error shows its own description. The view is titled with the string id.
class QVRTessarinePasswordUnlockViewController : public ViewController {
    Q_OBJECT
public:
    explicit QVRTessarinePasswordUnlockViewController(const QString& stringID, QObject* parent = nullptr);
    ~QVRTessarinePasswordUnlockViewController() override;

    QString stringID() const { return m_stringID; }
    void setOnTessarineUnlocked(std::function<void(const QString& reply)> block) { m_onUnlocked = std::move(block); }

    void attemptUnlock();
    QLineEdit* passwordField() { return (void)view(), m_passwordField; }
    QPushButton* unlockButton() { return (void)view(), m_unlockButton; }

    // Shows the prompt in a window of its own; closed without unlocking, `onDismissed` runs.
    static void showPrompt(const QString& stringID, std::function<void(const QString& reply)> onUnlocked,
                           std::function<void()> onDismissed);
    // Closes the prompts shown for `stringID` (their open was cancelled); each runs its `onDismissed`.
    static void closePrompts(const QString& stringID);

protected:
    void loadView() override;

private:
    void handleReply(const QString& reply);
    static QList<QPointer<ViewControllerWindowController>>& openPrompts();

    QString m_stringID;
    std::function<void(const QString&)> m_onUnlocked;
    QLineEdit* m_passwordField = nullptr;
    QPushButton* m_unlockButton = nullptr;
    std::shared_ptr<BlockRequester> m_request;
};
