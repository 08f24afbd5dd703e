#include "library/publish/QVRSavePublishDialogueWindowController.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "elements/video/QVBVideoCompressionManager.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/publish/SheetRunner.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceReachability.h"
#include "service/ZERI_APIBinding.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

ZERI_AssetUploadManager*& testManager()
{
    static ZERI_AssetUploadManager* manager = nullptr;
    return manager;
}

enum CompressionEvent { WillBegin, DidProgress, DidEnd };

} // namespace

QVRSavePublishDialogueWindowController*
QVRSavePublishDialogueWindowController::initWithTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                               QWidget* parent)
{
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packages;
    if (model) {
        if (auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage()))
            packages.push_back(std::move(package));
    }
    return new QVRSavePublishDialogueWindowController(std::move(packages), parent);
}

QVRSavePublishDialogueWindowController::QVRSavePublishDialogueWindowController(
    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> filePackages, QWidget* parent)
    : QDialog(parent)
    , m_filePackages(std::move(filePackages))
{
    m_titleLabel = new QLabel(this);
    m_titleLabel->setWordWrap(true);
    QFont headline = m_titleLabel->font();
    headline.setPointSizeF(headline.pointSizeF() * 1.2);
    headline.setBold(true);
    m_titleLabel->setFont(headline);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setWordWrap(true);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 0);
    m_cancelButton = new QPushButton(this);
    m_secondaryButton = new QPushButton(this);
    m_secondaryButton->hide();
    QPalette palette = m_cancelButton->palette();
    palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
    m_cancelButton->setPalette(palette);
    m_secondaryButton->setPalette(palette);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_secondaryButton);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_statusLabel);
    layout->addWidget(m_progressBar);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(m_cancelButton, &QPushButton::clicked, this, &QVRSavePublishDialogueWindowController::cancelButtonPressed);
    m_cancelButton->setText(UFM::CANCEL_TEXT());
    setStatus(UFM::SAVING_TEXT());
    setPublishing(false);
}

QVRSavePublishDialogueWindowController::~QVRSavePublishDialogueWindowController()
{
    stopObservingCompression();
    if (uploadManager().delegate() == this)
        uploadManager().setDelegate(nullptr);
    handUploadsBack();
}

void QVRSavePublishDialogueWindowController::setStatus(const QString& status)
{
    if (m_statusLabel->text() == status)
        return;
    m_statusLabel->setText(status);
    emit statusChanged(status);
}

void QVRSavePublishDialogueWindowController::setPublishing(bool publishing)
{
    m_publishing = publishing;
    QString headline = UFM::SAVING_DRAFT_TO_CLOUD();
    if (publishing) {
        const auto model = tessarineModel();
        QString where;
        if (model && !model->alias().isEmpty())
            where = QVROpenRequest::shortLinkBase() + model->alias();
        else if (model)
            where = model->publishURL().value_or(QString());
        if (where.isEmpty())
            where = UFM::THE_WEB_TEXT();
        headline = UFM::POSTING_TESSARINE_TO_SOMEWHERE().arg(where);
    }
    m_titleLabel->setText(headline);
    setWindowTitle(headline);
}

std::shared_ptr<ZERI_TessarineModel> QVRSavePublishDialogueWindowController::tessarineModel() const
{
    return m_filePackages.empty() || !m_filePackages.front() ? nullptr : m_filePackages.front()->model();
}

ZERI_AssetUploadManager& QVRSavePublishDialogueWindowController::uploadManager()
{
    return testManager() ? *testManager() : ZERI_AssetUploadManager::sharedInstance();
}

void QVRSavePublishDialogueWindowController::setUploadManagerForTesting(ZERI_AssetUploadManager* manager)
{
    testManager() = manager;
}

void QVRSavePublishDialogueWindowController::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        // From the event loop: the runner's loop is running by then, so an immediate end is seen.
        QTimer::singleShot(0, this, [this] { start(); });
    }
}

void QVRSavePublishDialogueWindowController::reject()
{
    cancelButtonPressed();
}

void QVRSavePublishDialogueWindowController::start()
{
    if (m_started)
        return;
    m_started = true;
    waitForVideoCompression();
}

void QVRSavePublishDialogueWindowController::waitForVideoCompression()
{
    const auto model = tessarineModel();
    if (m_filePackages.size() != 1 || !model) {
        startUploads();
        return;
    }
    m_compressionManager = model->documentVideoCompressionManager();
    const int count = m_compressionManager ? m_compressionManager->contentAssetCount() : 0;
    if (count <= 0) {
        startUploads();
        return;
    }
    m_videosToCompress = static_cast<unsigned long long>(count);
    setCompressingStatus(1);
    m_progressBar->setRange(0, kProgressSteps);
    m_progressBar->setValue(0);
    const QString names[] = {QVBVideoCompressionManager::willBeginNotification,
                             QVBVideoCompressionManager::didProgressNotification,
                             QVBVideoCompressionManager::didEndNotification};
    for (int kind = WillBegin; kind <= DidEnd; ++kind) {
        m_compressionObservations.emplace_back(names[kind], nullptr, [this, kind](const Notification& notification) {
            onCompressionNotification(notification, kind);
        });
    }
}

void QVRSavePublishDialogueWindowController::setCompressingStatus(unsigned long long current)
{
    current = std::clamp<unsigned long long>(current, 1, std::max<unsigned long long>(m_videosToCompress, 1));
    setStatus(UFM::COMPRESSING_VIDEO_X_OF_Y().arg(current).arg(m_videosToCompress));
}

void QVRSavePublishDialogueWindowController::onCompressionNotification(const Notification& notification, int kind)
{
    // Only this document's queue counts: other documents re-encode their own videos.
    const auto* sender = notification.userInfo.value(QVBVideoCompressionManager::kVideoAssetCompressionManager)
                             .value<VideoCompressionManager*>();
    if (m_uploadsStarted || !m_compressionManager || sender != m_compressionManager.get())
        return;
    const unsigned long long remaining =
        static_cast<unsigned long long>(std::max(0, m_compressionManager->contentAssetCount()));
    const unsigned long long done = m_videosToCompress > remaining ? m_videosToCompress - remaining : 0;
    switch (kind) {
    case WillBegin:
        setCompressingStatus(done + 1);
        break;
    case DidProgress: {
        setCompressingStatus(done + 1);
        const double fraction = std::clamp(m_compressionManager->progress(), 0.0, 1.0);
        const double value = (static_cast<double>(done) + fraction) / static_cast<double>(m_videosToCompress);
        m_progressBar->setValue(static_cast<int>(std::clamp(value, 0.0, 1.0) * kProgressSteps));
        break;
    }
    case DidEnd:
        if (remaining == 0)
            startUploads();
        break;
    }
}

void QVRSavePublishDialogueWindowController::stopObservingCompression()
{
    m_compressionObservations.clear();
}

bool QVRSavePublishDialogueWindowController::shouldSend(const std::shared_ptr<ZERI_qvdFilePackage>& package) const
{
    if (!package)
        return false;
    if (!m_onlySaveIfNeeded)
        return true;
    return m_publishing ? package->hasSomethingToPost() : package->hasSomethingToSaveToCloud();
}

void QVRSavePublishDialogueWindowController::startUploads()
{
    if (m_uploadsStarted || m_ended)
        return;
    m_uploadsStarted = true;
    stopObservingCompression();
    ZERI_AssetUploadManager& manager = uploadManager();
    takeUploadManager();
    for (const auto& package : m_filePackages) {
        if (!shouldSend(package))
            continue;
        Error error;
        if (!package->model() && !package->loadModel(&error)) {
            qCWarning(lcLibrary) << "cannot load a document to send its files:" << error.description();
            continue;
        }
        if (const auto model = package->model()) {
            manager.enqueueAllContentAssetsForModel(model);
            // The manager reports only a document with files on their way; one with nothing to send is saved
            // with the others, and waiting for its report would wait for ever.
            if (manager.isWaitingForDocument(model->qvdID()))
                m_waitingDocuments.insert(model->qvdID());
        }
    }
    manager.beginTracking();
    m_progressBar->setRange(0, 0);
    if (m_waitingDocuments.empty())
        startSavingModels();
    else
        manager.startNextUploadIfNeeded();
}

void QVRSavePublishDialogueWindowController::takeUploadManager()
{
    ZERI_AssetUploadManager& manager = uploadManager();
    // One dialogue hears the manager at a time; one still waiting for its files gets it back when this one ends.
    if (auto* waiting = dynamic_cast<QVRSavePublishDialogueWindowController*>(manager.delegate());
        waiting && waiting != this && waiting->waitingForUploads() && !m_tookUploadsFrom)
        m_tookUploadsFrom = waiting;
    manager.setDelegate(this);
}

void QVRSavePublishDialogueWindowController::handUploadsBack()
{
    const QPointer<QVRSavePublishDialogueWindowController> waiting = std::exchange(m_tookUploadsFrom, nullptr);
    if (!waiting)
        return;
    // On the next turn: a sign-out ending this dialogue closes the document windows, the waiting one's among them,
    // and signs out first; then there is nothing to go on with.
    QTimer::singleShot(0, waiting.data(), [waiting] {
        if (waiting)
            waiting->resumeUploads();
    });
}

void QVRSavePublishDialogueWindowController::resumeUploads()
{
    ZERI_AssetUploadManager& manager = uploadManager();
    if (!waitingForUploads() || Tessutils::corvikAuthToken().isEmpty() ||
        (manager.delegate() && manager.delegate() != this))
        return;
    manager.setDelegate(this);
    // Files that arrived meanwhile gave their assets content ids and are not queued again.
    for (const auto& package : m_filePackages) {
        const auto model = package ? package->model() : nullptr;
        if (model && m_waitingDocuments.count(model->qvdID()))
            manager.enqueueAllContentAssetsForModel(model);
    }
    std::erase_if(m_waitingDocuments, [&manager](const QString& id) { return !manager.isWaitingForDocument(id); });
    manager.beginTracking();
    if (m_waitingDocuments.empty())
        startSavingModels();
    else
        manager.startNextUploadIfNeeded();
}

void QVRSavePublishDialogueWindowController::uploadManagerUploadDidProgress(ZERI_AssetUploadManager*, const void*,
                                                                            quint64 totalBytesUploaded,
                                                                            quint64 totalBytes, quint64 filesUploaded,
                                                                            quint64 totalFiles)
{
    if ((m_savingStarted && m_lateFilesDocument.isEmpty()) || m_ended)
        return;
    m_progressBar->setRange(0, kProgressSteps);
    const double fraction =
        totalBytes == 0 ? 0.0
                        : std::min(1.0, static_cast<double>(totalBytesUploaded) / static_cast<double>(totalBytes));
    m_progressBar->setValue(static_cast<int>(fraction * kProgressSteps));
    const quint64 current = std::min(filesUploaded + 1, std::max<quint64>(totalFiles, 1));
    setStatus(UFM::UPLOADING_X_OF_Y().arg(current).arg(totalFiles));
}

void QVRSavePublishDialogueWindowController::uploadManagerAllUploadsCompletedForModel(
    ZERI_AssetUploadManager* manager, const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!m_lateFilesDocument.isEmpty()) {
        if (m_ended || !m_uploadingTessarineQueue)
            return;
        const bool failed = manager && !manager->lastError().isNull();
        if (!failed && (!model || model->qvdID() != m_lateFilesDocument))
            return;
        m_lateFilesDocument.clear();
        if (uploadManager().delegate() == this)
            uploadManager().setDelegate(nullptr);
        m_progressBar->setRange(0, 0);
        setStatus(UFM::FINALIZING_TEXT());
        if (failed)
            onModelUploadsDone(manager->lastError());
        else
            saveNextModel();
        return;
    }
    if (m_savingStarted || m_ended || !m_uploadsStarted)
        return;
    if (manager && !manager->lastError().isNull()) {
        // The files could not all be sent: saving now would leave the service a document pointing at this
        // computer's files.
        m_savingStarted = true;
        onModelUploadsDone(manager->lastError());
        return;
    }
    if (model)
        m_waitingDocuments.erase(model->qvdID());
    if (m_waitingDocuments.empty())
        startSavingModels();
}

void QVRSavePublishDialogueWindowController::startSavingModels()
{
    if (m_savingStarted || m_ended)
        return;
    m_savingStarted = true;
    if (uploadManager().delegate() == this)
        uploadManager().setDelegate(nullptr);
    m_progressBar->setRange(0, 0);
    setStatus(UFM::FINALIZING_TEXT());
    m_uploadingTessarineQueue.emplace(m_filePackages.begin(), m_filePackages.end());
    m_packagesTaken = 0;
    saveNextModel();
}

void QVRSavePublishDialogueWindowController::saveNextModel()
{
    if (!m_uploadingTessarineQueue || m_ended)
        return;
    if (m_uploadingTessarineQueue->empty()) {
        onModelUploadsDone(Error());
        return;
    }
    const auto package = m_uploadingTessarineQueue->front();
    m_uploadingTessarineQueue->pop_front();
    ++m_packagesTaken;
    if (m_filePackages.size() >= 2) {
        setStatus(
            QStringLiteral("%1 %2 / %3").arg(UFM::FINALIZING_TEXT()).arg(m_packagesTaken).arg(m_filePackages.size()));
    }
    if (!shouldSend(package)) {
        saveNextModel();
        return;
    }
    Error error;
    if (!package->model() && !package->loadModel(&error)) {
        onModelUploadsDone(error);
        return;
    }
    const auto model = package->model();
    if (!model) {
        onModelUploadsDone(Error(QString::fromLatin1(ZERI_qvdFilePackage::errorDomain), 1,
                                 QStringLiteral("The document could not be loaded.")));
        return;
    }
    if (sendLateFiles(package, model))
        return;
    const quint64 generation = m_saveGeneration;
    QPointer<QVRSavePublishDialogueWindowController> self(this);
    if (m_forking) {
        model->forkOnServer(
            DocumentService::Draft, std::nullopt, std::nullopt, m_overwriteOnFork,
            [self, generation](const Error& forkError) {
                if (!self || generation != self->m_saveGeneration)
                    return;
                if (!forkError.isNull())
                    self->onModelUploadsDone(forkError);
                else
                    self->saveNextModel();
            },
            true);
        return;
    }
    model->saveToServer(
        m_publishing ? DocumentService::Publish : DocumentService::Draft, m_publishPermission, m_savePassword,
        model->alias(),
        [self, generation](const std::optional<SafeDictionary>& saveError) {
            if (!self || generation != self->m_saveGeneration)
                return;
            self->onSaveAnswered(saveError);
        },
        true);
}

bool QVRSavePublishDialogueWindowController::sendLateFiles(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                                           const std::shared_ptr<ZERI_TessarineModel>& model)
{
    ZERI_AssetUploadManager& manager = uploadManager();
    manager.enqueueAllContentAssetsForModel(model);
    if (!manager.isWaitingForDocument(model->qvdID()))
        return false;
    qCInfo(lcLibrary) << "sending the files a document gained while its files were on their way";
    m_lateFilesDocument = model->qvdID();
    m_uploadingTessarineQueue->push_front(package);
    --m_packagesTaken;
    takeUploadManager();
    manager.beginTracking();
    setStatus(UFM::UPLOADING_X_OF_Y().arg(1).arg(manager.queuedFileCount()));
    manager.startNextUploadIfNeeded();
    return true;
}

void QVRSavePublishDialogueWindowController::onSaveAnswered(const std::optional<SafeDictionary>& error)
{
    if (!m_uploadingTessarineQueue || m_ended)
        return;
    if (!error) {
        saveNextModel();
        return;
    }
    if (error->stringForKey(QStringLiteral("errorCode")) == QStringLiteral("607")) {
        if (m_plainWindow) {
            onModelUploadsDone(ZERI_APIBinding::errorFromApiErrorDict(*error));
            return;
        }
        m_uploadingTessarineQueue.reset();
        endWithCode(SheetRunner::kFork);
        return;
    }
    onModelUploadsDone(ZERI_APIBinding::errorFromApiErrorDict(*error));
}

void QVRSavePublishDialogueWindowController::onModelUploadsDone(const Error& error)
{
    m_uploadsDone = true;
    m_uploadingTessarineQueue.reset();
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(1);
    m_cancelButton->setText(UFM::DONE_TEXT());
    if (!error.isNull()) {
        // Nothing reached the service: say so in our words rather than the network layer's.
        const QString message = ServiceReachability::isUnreachableError(error) ? ServiceReachability::unreachableText()
                                : error.message.isEmpty()                      ? error.description()
                                                                               : error.message;
        setStatus(QStringLiteral("%1: %2").arg(UFM::ERROR_TEXT(), message));
        m_saveError = error;
        return;
    }
    m_saveError = Error();
    setStatus(UFM::SUCCESS_EXCLAMATION_TEXT());
    if (m_plainWindow) {
        m_ended = true;
        handUploadsBack();
        close();
        return;
    }
    endWithCode(SheetRunner::kDone);
}

void QVRSavePublishDialogueWindowController::endWithCode(int code)
{
    if (m_ended)
        return;
    m_ended = true;
    stopObservingCompression();
    if (uploadManager().delegate() == this)
        uploadManager().setDelegate(nullptr);
    handUploadsBack();
    done(code);
}

void QVRSavePublishDialogueWindowController::cancelButtonPressed()
{
    ++m_saveGeneration;
    stopObservingCompression();
    if ((m_uploadsStarted && !m_savingStarted) || !std::exchange(m_lateFilesDocument, QString()).isEmpty())
        uploadManager().cancelUploadsAndClearQueue();
    if (uploadManager().delegate() == this)
        uploadManager().setDelegate(nullptr);
    m_uploadingTessarineQueue.reset();
    if (m_plainWindow) {
        m_ended = true;
        handUploadsBack();
        close();
        return;
    }
    endWithCode(SheetRunner::kCancelled);
}
