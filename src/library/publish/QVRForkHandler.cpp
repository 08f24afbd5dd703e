#include "library/publish/QVRForkHandler.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/LibraryLogging.h"
#include "library/publish/QVRSavePublishDialogueWindowController.h"
#include "library/publish/SheetRunner.h"
#include "platform/MainThread.h"
#include "service/DocumentServerOperations.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

QString QVRDraftConflictSheet::deviceName()
{
    // The conflicting changes were made elsewhere, and the service's answer does not say where: never this
    // computer's own name.
    return UFM::ANOTHER_DEVICE_TEXT();
}

QVRDraftConflictSheet::QVRDraftConflictSheet(bool canIgnore, QWidget* parent)
    : QDialog(parent)
{
    // A sheet on its window: titled like the application, not with one of its sentences.
    setWindowTitle(QApplication::applicationDisplayName());
    m_message = new QLabel(UFM::THERE_WERE_CONFLICTING_CHANGES_TEXT().arg(deviceName()), this);
    m_message->setWordWrap(true);
    QFont headline = m_message->font();
    headline.setBold(true);
    m_message->setFont(headline);
    m_keepLocal = new QPushButton(UFM::KEEP_LOCAL_CHANGES_TEXT(), this);
    auto* keepLocalDetails = new QLabel(UFM::KEEP_LOCAL_CHANGES_DETAILS_TEXT(), this);
    keepLocalDetails->setWordWrap(true);
    m_keepRemote = new QPushButton(UFM::KEEP_REMOTE_CHANGES_TEXT(), this);
    m_keepRemoteDetails = new QLabel(UFM::KEEP_REMOTE_CHANGES_DETAILS_TEXT(), this);
    m_keepRemoteDetails->setWordWrap(true);
    m_ignore = new QPushButton(UFM::IGNORE_FOR_NOW_TEXT(), this);
    m_ignore->setEnabled(canIgnore);
    auto* others = new QLabel(UFM::SAVED_COPIES_ON_OTHER_DEVICES_TEXT(), this);
    others->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_keepLocal);
    layout->addWidget(keepLocalDetails);
    layout->addWidget(m_keepRemote);
    layout->addWidget(m_keepRemoteDetails);
    layout->addWidget(others);
    layout->addWidget(m_ignore);
    setMinimumWidth(420);

    connect(m_keepLocal, &QPushButton::clicked, this, [this] { done(kKeepLocal); });
    connect(m_keepRemote, &QPushButton::clicked, this, [this] { done(kKeepRemote); });
    connect(m_ignore, &QPushButton::clicked, this, [this] { done(0); });
}

void QVRForkHandler::beginTessarineForkForFilePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                                      bool shouldPublish, bool canIgnore, Completion onDone,
                                                      QWidget* window)
{
    auto answer = [onDone](int code, const Error& error) {
        if (onDone)
            MainThread::run([onDone, code, error] { onDone(code, error); }, false);
    };
    if (!package) {
        answer(kIgnored, Error());
        return;
    }
    int choice = 0;
    {
        QVRDraftConflictSheet sheet(canIgnore, window ? window->window() : nullptr);
        choice = SheetRunner::run(sheet, window);
    }
    if (choice == QVRDraftConflictSheet::kKeepLocal) {
        Error loadError;
        if (!package->model() && !package->loadModel(&loadError)) {
            answer(kForkFailed, loadError);
            return;
        }
        std::unique_ptr<QVRSavePublishDialogueWindowController> dialogue(
            new QVRSavePublishDialogueWindowController({package}, window ? window->window() : nullptr));
        dialogue->setForking(true);
        dialogue->setOverwriteOnFork(true);
        dialogue->setIsNonModalSheet(true);
        dialogue->setPublishing(shouldPublish);
        const int result = SheetRunner::run(*dialogue, window);
        if (result == SheetRunner::kDone && dialogue->saveError().isNull())
            answer(kForkedAndSaved, Error());
        else if (!dialogue->saveError().isNull())
            answer(kForkFailed, dialogue->saveError());
        else
            answer(kIgnored, Error());
        return;
    }
    if (choice == QVRDraftConflictSheet::kKeepRemote) {
        const QString apiID = package->metaData().apiID();
        DocumentServerOperations::downloadServerCopyIntoNewPackage(
            apiID, [answer](const std::shared_ptr<ZERI_TessarineModel>& model, const Error& error) {
                if (!model)
                    qCWarning(lcLibrary) << "cannot download the saved version:" << error.description();
                answer(kKeptRemote, model ? Error() : error);
            });
        return;
    }
    answer(kIgnored, Error());
}
