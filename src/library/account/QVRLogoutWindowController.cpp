#include "library/account/QVRLogoutWindowController.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "foundation/Tessutils.h"
#include "library/account/ZERI_AuthenticationHandler.h"
#include "platform/AlertPresenter.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"

namespace {

void logLogoutResult(const QString& result)
{
    QVRAnalytics::logEvent(QStringLiteral("User Logout"), {{QStringLiteral("Logout Result"), result}});
}

} // namespace

QVRLogoutWindowController::QVRLogoutWindowController(std::vector<std::shared_ptr<ZERI_qvdFilePackage>> filePackages,
                                                     QWidget* parent)
    : QVRSavePublishDialogueWindowController(std::move(filePackages), parent)
{
    setRunsAsPlainWindow(true);
    setOnlySaveIfNeeded(true);
    setWindowTitle(UFM::SIGN_OUT_TEXT());
    titleLabel()->setText(UFM::SAVING_YOUR_TESSARINES_TEXT());
    QPalette palette = titleLabel()->palette();
    palette.setColor(QPalette::WindowText, Tessutils::tessarineBlackColor());
    titleLabel()->setPalette(palette);
    secondaryButton()->setText(UFM::SIGN_OUT_NOW_TEXT());
    secondaryButton()->show();
    connect(secondaryButton(), &QPushButton::clicked, this, &QVRLogoutWindowController::signOutNowPressed);
    // Cancel and Done end the dialogue themselves; the close they cause is not a second Cancel.
    connect(cancelButton(), &QPushButton::pressed, this, [this] { m_finishing = true; });
}

std::vector<std::shared_ptr<ZERI_qvdFilePackage>> QVRLogoutWindowController::packagesToSave()
{
    return ZERI_qvdFilePackage::packagesForType(1);
}

void QVRLogoutWindowController::signOutNowPressed()
{
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = UFM::SIGN_OUT_NOW_TEXT();
    alert.informativeText = UFM::CHANGES_WILL_BE_LOST_ARE_YOU_SURE();
    alert.buttons = {UFM::CANCEL_TEXT(), UFM::SIGN_OUT_TEXT()};
    QPointer<QVRLogoutWindowController> self(this);
    AlertPresenter::shared().show(alert, this, [self](const AlertResponse& response) {
        if (!self || response.button != 1 || self->m_signedOut)
            return;
        logLogoutResult(QStringLiteral("Cancelled"));
        // Saving stops first, so no answer arrives for a document that sign-out deletes.
        self->m_finishing = true;
        self->cancelButtonPressed();
        self->m_signedOut = true;
        // As when saving ends: only the lists window stays, and the document windows close before the folders go.
        QVRWindowManager::sharedInstance().closeAllWindowsExceptMyFlows();
        ZERI_AuthenticationHandler::authHandler()->logout();
    });
}

void QVRLogoutWindowController::onModelUploadsDone(const Error& error)
{
    if (!error.isNull()) {
        // Nothing is deleted while a draft did not reach the service: the user decides.
        logLogoutResult(QStringLiteral("Upload Not Completed"));
        QVRSavePublishDialogueWindowController::onModelUploadsDone(error);
        return;
    }
    logLogoutResult(QStringLiteral("Upload Completed"));
    // Only the lists window stays. The document windows close before the folders go, so nothing they write
    // while closing is left behind after sign-out.
    QVRWindowManager::sharedInstance().closeAllWindowsExceptMyFlows();
    m_signedOut = true;
    ZERI_AuthenticationHandler::authHandler()->logout();
    m_finishing = true;
    QVRSavePublishDialogueWindowController::onModelUploadsDone(error);
}

void QVRLogoutWindowController::closeEvent(QCloseEvent* event)
{
    if (!m_finishing) {
        // The close box is Cancel.
        m_finishing = true;
        cancelButtonPressed();
    }
    // A plain window: it closes whatever the dialogue's own close handling would ask.
    QWidget::closeEvent(event);
    event->accept();
}
