#pragma once

#include <memory>
#include <vector>

#include "library/publish/QVRSavePublishDialogueWindowController.h"

// The sign-out dialogue: saves the changed drafts to the service, then signs out. When saving fails the user
// stays signed in and every document is kept; the error is shown, with Sign out now (which asks first, because
// unsaved changes would be lost) and Done. Closing the window is Cancel: nothing more is saved and the user stays
// signed in.
class QVRLogoutWindowController : public QVRSavePublishDialogueWindowController {
    Q_OBJECT
public:
    explicit QVRLogoutWindowController(std::vector<std::shared_ptr<ZERI_qvdFilePackage>> filePackages,
                                       QWidget* parent = nullptr);

    // Asks whether to sign out without waiting; on yes, signs out and ends the dialogue.
    void signOutNowPressed();
    bool signedOut() const { return m_signedOut; }

    // The packages the sign-out dialogue carries: every document of the user's kind.
    static std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packagesToSave();

protected:
    void onModelUploadsDone(const Error& error) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_signedOut = false;
    bool m_finishing = false;
};
