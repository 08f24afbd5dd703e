#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <QDialog>
#include <QPointer>
#include <QString>

#include "platform/Error.h"
#include "foundation/SafeDictionary.h"
#include "platform/NotificationCenter.h"
#include "service/ZERI_AssetUploadManager.h"

class QLabel;
class QProgressBar;
class QPushButton;
class VideoCompressionManager;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;

// The progress sheet that carries documents to the service: it waits for the document's pending video
// re-encoding, sends the documents' local media files through the shared upload manager, then saves (drafts),
// publishes or forks each document, one after another. The status line and progress bar report each stage;
// the sheet ends with the success text, or shows the error and waits for Done.
//
// Results (see SheetRunner): kCancelled when Cancel or Done was pressed, kFork when the service asked for a
// fork, kDone when everything was saved. Run as a non-modal sheet (open()), it ends the same way and the caller
// reads saveError(). As a plain window (the sign-out batch), a fork request ends saving with the 607 error.
//
// Main thread only.
class QVRSavePublishDialogueWindowController : public QDialog, public ZERI_AssetUploadManagerDelegate {
    Q_OBJECT
public:
    // A null document, or one without a package, gives a dialogue with nothing to save.
    static QVRSavePublishDialogueWindowController*
    initWithTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& model, QWidget* parent = nullptr);
    explicit QVRSavePublishDialogueWindowController(std::vector<std::shared_ptr<ZERI_qvdFilePackage>> filePackages,
                                                    QWidget* parent = nullptr);
    ~QVRSavePublishDialogueWindowController() override;

    void setPublishing(bool publishing);
    bool publishing() const { return m_publishing; }
    void setForking(bool forking) { m_forking = forking; }
    void setOverwriteOnFork(bool overwrite) { m_overwriteOnFork = overwrite; }
    void setIsNonModalSheet(bool nonModal) { m_isNonModalSheet = nonModal; }
    // A plain window (not a sheet): success closes it, and a fork request is an error.
    void setRunsAsPlainWindow(bool plain) { m_plainWindow = plain; }
    void setSavePassword(const std::optional<QString>& password) { m_savePassword = password; }
    void setPublishPermission(const std::optional<QString>& permission) { m_publishPermission = permission; }
    void setOnlySaveIfNeeded(bool onlyIfNeeded) { m_onlySaveIfNeeded = onlyIfNeeded; }

    bool uploadsDone() const { return m_uploadsDone; }
    Error saveError() const { return m_saveError; }
    const std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& filePackages() const { return m_filePackages; }
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const;
    unsigned long long videosToCompress() const { return m_videosToCompress; }

    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* secondaryButton() const { return m_secondaryButton; }

    // Begins the work; called when the sheet is first shown (tests may call it themselves). Only once.
    void start();
    void cancelButtonPressed();

    // The manager the dialogue sends files through (the shared one unless a test put another in place).
    static ZERI_AssetUploadManager& uploadManager();
    static void setUploadManagerForTesting(ZERI_AssetUploadManager* manager);

    void uploadManagerUploadDidProgress(ZERI_AssetUploadManager* manager, const void* unused,
                                        quint64 totalBytesUploaded, quint64 totalBytes, quint64 filesUploaded,
                                        quint64 totalFiles) override;
    void uploadManagerAllUploadsCompletedForModel(ZERI_AssetUploadManager* manager,
                                                  const std::shared_ptr<ZERI_TessarineModel>& model) override;

    // Progress bar range while bytes are counted.
    static constexpr int kProgressSteps = 10000;

signals:
    // Each new text of the status line, in order.
    void statusChanged(const QString& status);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape works like Cancel

    // The end of saving, with the error or a null one (the sign-out dialogue builds on it).
    virtual void onModelUploadsDone(const Error& error);

private:
    void waitForVideoCompression();
    void onCompressionNotification(const Notification& notification, int kind);
    void stopObservingCompression();
    void startUploads();
    void startSavingModels();
    void saveNextModel();
    // Sends the files the document gained since its files were queued (a screen preview drawn meanwhile), so that
    // the copy the service keeps names none of this computer's files; true when the save waits for them.
    bool sendLateFiles(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                       const std::shared_ptr<ZERI_TessarineModel>& model);
    bool shouldSend(const std::shared_ptr<ZERI_qvdFilePackage>& package) const;
    void onSaveAnswered(const std::optional<SafeDictionary>& error);
    void endWithCode(int code);
    // Files of this dialogue's documents are still to be sent and nothing else has begun.
    bool waitingForUploads() const { return m_uploadsStarted && !m_savingStarted && !m_ended; }
    // Another dialogue took the shared upload manager over while this one waited for its files (the sign-out
    // dialogue, chosen from the home window while a document was being published) and has ended: this one
    // queues again what its documents still have to send and goes on.
    void resumeUploads();
    // Makes this dialogue the upload manager's delegate, remembering a dialogue still waiting for its files.
    void takeUploadManager();
    // Gives the upload manager back to the dialogue this one took it from.
    void handUploadsBack();
    void setCompressingStatus(unsigned long long current);
    void setStatus(const QString& status);

    std::vector<std::shared_ptr<ZERI_qvdFilePackage>> m_filePackages;
    std::optional<std::deque<std::shared_ptr<ZERI_qvdFilePackage>>> m_uploadingTessarineQueue;
    std::size_t m_packagesTaken = 0;
    bool m_publishing = false;
    bool m_forking = false;
    bool m_overwriteOnFork = false;
    bool m_isNonModalSheet = false;
    bool m_plainWindow = false;
    bool m_onlySaveIfNeeded = false;
    bool m_uploadsDone = false;
    bool m_started = false;
    bool m_uploadsStarted = false;
    bool m_savingStarted = false;
    bool m_ended = false;
    Error m_saveError;
    std::optional<QString> m_savePassword;
    std::optional<QString> m_publishPermission;
    unsigned long long m_videosToCompress = 0;
    std::shared_ptr<VideoCompressionManager> m_compressionManager;
    std::vector<NotificationObservation> m_compressionObservations;
    std::set<QString> m_waitingDocuments; // ids of the documents whose files are on their way
    quint64 m_saveGeneration = 0;         // a save answered after Cancel belongs to an older generation
    QPointer<QVRSavePublishDialogueWindowController> m_tookUploadsFrom;
    QString m_lateFilesDocument; // id of the document whose save waits for files it gained late

    QLabel* m_titleLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_secondaryButton = nullptr;
};
