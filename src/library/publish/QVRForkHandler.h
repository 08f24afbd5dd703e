#pragma once

#include <functional>
#include <memory>

#include <QDialog>

#include "platform/Error.h"

class QLabel;
class QPushButton;
class QWidget;
class ZERI_qvdFilePackage;

// Draft conflicts: the service's copy of a document changed since this computer last saved it. A sheet asks
// what to do:
// - keep the changes on this computer: the document is forked on the service over its copy, through the
//   save/publish dialogue (answer kForkedAndSaved, or kForkFailed with the dialogue's error);
// - keep the saved version: the service's copy is downloaded as a document of its own; the one on this
//   computer is kept (answer kKeptRemote);
// - ignore for now (only when allowed) or close: nothing happens (answer kIgnored).
// The answer goes to `onDone` on the main thread. Main thread only.
class QVRForkHandler {
public:
    enum Answer { kIgnored = 0, kKeptRemote = 1, kForkedAndSaved = 2, kForkFailed = 3 };
    using Completion = std::function<void(int answer, const Error& error)>;

    static void beginTessarineForkForFilePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                                 bool shouldPublish, bool canIgnore, Completion onDone,
                                                 QWidget* window = nullptr);
};

// The conflict sheet itself. Results: kKeepLocal, kKeepRemote, or 0 (ignore or closed).
class QVRDraftConflictSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kKeepLocal = 1;
    static constexpr int kKeepRemote = 2;

    explicit QVRDraftConflictSheet(bool canIgnore, QWidget* parent = nullptr);

    // The device the header names: the service names none, so ANOTHER_DEVICE_TEXT.
    static QString deviceName();

    QLabel* messageLabel() const { return m_message; }
    QLabel* keepRemoteDetailsLabel() const { return m_keepRemoteDetails; }
    QPushButton* keepLocalButton() const { return m_keepLocal; }
    QPushButton* keepRemoteButton() const { return m_keepRemote; }
    QPushButton* ignoreButton() const { return m_ignore; }

private:
    QLabel* m_message = nullptr;
    QLabel* m_keepRemoteDetails = nullptr;
    QPushButton* m_keepLocal = nullptr;
    QPushButton* m_keepRemote = nullptr;
    QPushButton* m_ignore = nullptr;
};
