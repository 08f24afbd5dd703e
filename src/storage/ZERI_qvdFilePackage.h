#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include "platform/Error.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "tessarine_data_model/DocumentFilePackage.h"

class ZERI_ContentAsset;
class ZERI_TessarineModel;

// One document's folder on disk: "<Application Support>/Tessarine/tessarines/<document id>/" holding
//   "docfile.qvd"            the draft (document JSON),
//   "docfile_published.qvd"  the published copy, when there is one,
//   "metadata.json"          ZERI_qvdFilePackageMetadata,
//   "assets/"                the draft's media files,
//   "published_assets/"      the published copy's media files.
// The three JSON files are always replaced atomically (temporary file in the folder, flushed, renamed), so a crash
// leaves the previous version or the new one, never a truncated file.
//
// A folder whose "metadata.json" or "docfile.qvd" is missing or unreadable is damaged: the scan reports it (in the
// log and damagedPackageFolders()) and leaves it out of allPackages(), and nothing here ever writes into it.
//
// The package list is process-wide and built on first use. Packages are shared (one object per folder) and hold
// their loaded documents strongly; a document holds its package weakly. Main thread only.
class ZERI_qvdFilePackage : public DocumentFilePackage, public std::enable_shared_from_this<ZERI_qvdFilePackage> {
public:
    enum PackageType { OwnDocument = 1, ThemeSample = 64 };

    static constexpr const char* errorDomain = "com.tessarine.filepackage";
    // 1: the documents list was asked for without an auth token (server side); 2: a file could not be written
    // (the model's "cannot save"); 5: the package is damaged; 6: there is no draft to load. 3 and 4 are the
    // model's own (no package store, saving switched off).
    // 7: the document's id cannot name a package folder.
    enum ErrorCode { NoAuthToken = 1, CannotWrite = 2, Damaged = 5, NoDraft = 6, BadID = 7 };

    static const QString packagesChangedNotification;         // "ZERI_qvdFilePackagePackagesChangedNotification"
    static const QString publishedVersionUpdatedNotification; // sender: the package
    static const QString tessarinesForTypeDownloadedNotification;

    static const QString draftFileName;             // "docfile.qvd"
    static const QString publishedFileName;         // "docfile_published.qvd"
    static const QString metadataFileName;          // "metadata.json"
    static const QString assetsFolderName;          // "assets"
    static const QString publishedAssetsFolderName; // "published_assets"

    // "<Application Support>/Tessarine/tessarines", unless another folder was set.
    static QString tessarinesFolder();
    // Keeps packages in `folder` instead (a command-line import writing into a folder of the user's choice); an
    // empty path restores the default. Forgets the package list so that the next use scans the new folder.
    static void setPackagesFolder(const QString& folder);

    // Every readable package, in store order (folder name order from the scan, packages made later appended).
    static std::vector<std::shared_ptr<ZERI_qvdFilePackage>> allPackages();
    // Packages whose metadata type has any of the bits of `mask`, in store order.
    static std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packagesForType(int mask);
    // The first package whose metadata string id is `stringID`, with its document loaded; nullptr when none.
    static std::shared_ptr<ZERI_qvdFilePackage> packageForStringID(const QString& stringID);
    static std::shared_ptr<ZERI_qvdFilePackage> packageForID(const QString& qvdID);
    // Rebuilds the list from the folder (known packages keep their objects) and posts the packages-changed
    // notification at the end of the turn.
    static void rescan();
    // Folders the last scan found damaged.
    static QStringList damagedPackageFolders();
    // Forgets the list so the next use scans again (tests pointing Application Support elsewhere).
    static void resetForTesting();

    // Whether a document id may name a package folder: 1 to 128 ASCII letters, digits, "-" and "_" (the ids the
    // application makes are upper-case hexadecimal and dashes). Anything else (a path, "..", a separator) could
    // name a folder outside the packages folder.
    static bool isValidPackageID(const QString& id);
    // Whether a new package may take this id: it can name a folder, no package has it, and no folder of that name
    // is in the packages folder (a package never finished, which the scan skips, still holds its name).
    static bool isFreeForNewPackage(const QString& id);

    // Makes the package of a document that has none: its folder, "assets/", "published_assets/", the draft and the
    // metadata. Fails (nothing written) when a folder of that id already exists, or with BadID (before any folder
    // is made) when the id cannot name a package folder.
    static std::shared_ptr<ZERI_qvdFilePackage> packageForNewModel(const std::shared_ptr<ZERI_TessarineModel>& model,
                                                                   Error* error = nullptr);
    // The document's save: nothing while its saving is off; otherwise the document becomes its package's model
    // (the package is made first when it has none) and the draft is written.
    static bool saveModelToFile(const std::shared_ptr<ZERI_TessarineModel>& model, Error* error = nullptr);

    // A copy of the document with a new identity (no server ids, not a theme document) in a new package, whose
    // asset files are hard links of the source's (copies where linking fails) and whose assets point there. A
    // theme document's copy has no description.
    static std::shared_ptr<ZERI_TessarineModel>
    getTessarineModelCopy(const std::shared_ptr<ZERI_TessarineModel>& source, Error* error = nullptr);
    // The administrator's slim copy for publishing: a new document id in a new package (package type 0) that
    // keeps the source's server id, string id and alias, and whose pictures keep only their cropped versions (an
    // image's full-sized original is dropped where a cropped one exists).
    static std::shared_ptr<ZERI_TessarineModel>
    getTessarineModelCopyWithoutFullsizedImage(const std::shared_ptr<ZERI_TessarineModel>& source,
                                               Error* error = nullptr);
    // The local part of duplicating: a copy of the package's document (loaded when needed) with its description and
    // published copy, in a new package; `onDone` runs on the main thread with it, or with nullptr on failure.
    static void duplicatePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package,
                                 std::function<void(std::shared_ptr<ZERI_qvdFilePackage>)> onDone);

    // Makes these packages the document model's: documents saved for the first time get one (through
    // packageForNewModel), and undo snapshots count the asset files they keep (AssetFileReferences). Called once at
    // start-up; calling it again is harmless.
    static void registerWithDocumentModel();

    // Posts "ZERI_qvdFilePackagePackagesChangedNotification" once at the end of the current turn.
    static void schedulePackagesChangedNotification();

    ~ZERI_qvdFilePackage() override;

    // DocumentFilePackage
    QString packageID() const override { return m_id; }
    QString assetStoragePath() const override { return assetsPath(); }
    QString publishedAssetStoragePath() const override { return publishedAssetsPath(); }
    QString ownerUserName() const override;
    // The model's save: the document becomes this package's model and is written as the draft.
    bool saveDocument(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error) override;
    // The scheduled save: the document's state is taken now, and the draft writer (a thread of its own, one write
    // after another) turns it into text and replaces the draft and then the metadata, each atomically. Saves asked
    // for while one is being written join into one more after it.
    bool saveDocumentSoon(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error) override;
    bool isWritingDraft() const override { return m_draftWrite.inFlight; }
    // Blocks until the draft writer has written everything handed to it so far (of every package). Every read or
    // write of a package's JSON files on the main thread waits so first.
    static void waitForDraftWrites();

    QString path() const { return m_path; }
    QString assetsPath() const;
    QString publishedAssetsPath() const;
    QString draftFilePath() const;
    QString publishedFilePath() const;
    QString metadataFilePath() const;

    std::shared_ptr<ZERI_TessarineModel> model() const { return m_model; }
    // Loads the draft into model() (a loaded one is kept). False, with model() still null, when there is no draft
    // or it cannot be read.
    bool loadModel(Error* error = nullptr);
    // The same without holding the main thread: the draft is read and made a document on the draft writer's
    // thread (after the writes queued before it), and `done` is called on the main thread once model() is set,
    // or with the error that kept it null. A document loaded meanwhile is kept.
    using LoadCompletion = std::function<void(bool loaded, const Error& error)>;
    void loadModelSoon(LoadCompletion done);
    // Saves the draft, switches the document's saving off and detaches it from the package. Server copies of
    // replaced assets that nothing reaches any more are queued for deletion. When the draft cannot be written the
    // document stays loaded, still saving, so that its edits are not dropped: false, with `error`.
    bool unloadModel(Error* error = nullptr);
    // The same without holding the main thread over the writing: the document is detached at once (its saving
    // off) and its draft handed to the writer. `done` runs on the main thread once the draft is on disk (true), or
    // with the error that kept it off the disk; the document is then the package's again, saving as before.
    using UnloadCompletion = std::function<void(bool unloaded, const Error& error)>;
    void unloadModelSoon(UnloadCompletion done);
    // Writes model() as the draft, at once; bumps the draft revision when the text changed. False when there is no
    // model.
    bool saveModel(Error* error = nullptr);

    std::shared_ptr<ZERI_TessarineModel> publishedModel() const { return m_publishedModel; }
    // Loads "docfile_published.qvd" as a read-only document (saving off, assets from "published_assets/").
    bool loadPublishedModel(Error* error = nullptr);
    // After a successful publication: writes the published copy, hard-links the files it references into
    // "published_assets/" (rewriting its file URLs to point there), records the publication time and the
    // published draft revision, and posts the published-version notification. Only files inside this package, or
    // inside `sourcePackageFolder` (the package a duplicate is made from), are linked: another local file's address
    // is cleared.
    bool savePublishedModelFromJSON(const QByteArray& documentJson, Error* error = nullptr,
                                    const QString& sourcePackageFolder = QString());
    // Drops the published copy: unloads it, empties "published_assets/", removes the file, clears the time stamp.
    void deletePublishedData();
    bool publishedVersionExists() const;
    // The metadata's publication time, else the published document's updated time; none without either.
    std::optional<QDateTime> publishedVersionDate();

    ZERI_qvdFilePackageMetadata& metaData();
    // The metadata's "previewScreenshotFilePath" when it names a file inside this package, not a link; empty for a
    // path that leads out of it (a package brought from elsewhere may name any file of the user's), never read.
    QString previewPictureFile();
    // Writes "metadata.json"; failures are logged and returned.
    bool saveMetadata();
    // Writes "metadata.json" on the package writer (after the writes asked for before it), then deletes
    // `replacedFile`, a file inside the package that the metadata no longer names, once the metadata on disk no
    // longer names it either. The calling (main) thread waits for neither; a failure is logged and leaves the file.
    void saveMetadataSoon(const QString& replacedFile = QString());

    // The draft changed after the last publication / the last save to the service.
    bool hasSomethingToPost();
    bool hasSomethingToSaveToCloud();
    // Called by the service side after a successful save of the current draft.
    void noteDraftSavedToServer(const QDateTime& when);
    bool ownedByCurrentUser();

    // Deletes the files in "assets/" and "published_assets/" that neither the draft nor the published copy
    // references and that no undo step holds; then queues the server deletions that have become safe. Does
    // nothing when the draft (or an existing published copy) cannot be read.
    void cleanDirectories();
    // The same clean-up without holding the main thread over the folders: they are listed on a worker, and the
    // files to delete are chosen on the main thread once the listing is back, against what the package and the
    // undo steps name then. A file that appears meanwhile is not touched.
    void cleanDirectoriesSoon();
    // Removes the folder and the package from the list, and posts the packages-changed notification. The folder
    // leaves its name at once even while a worker still adds a file to it (see removeFolderSetAside).
    bool deletePackage(Error* error = nullptr);
    // Takes the package out of the list (dropping its documents, never saving them again) and posts the
    // packages-changed notification, leaving the folder on disk for the caller to delete (off the main thread).
    // Returns the folder's path.
    QString forgetPackage();
    // Deleted or forgotten: out of the list, and never written into again.
    bool isRemoved() const { return m_removed; }

    // An asset of this document was replaced (a cropped image): its server copy is deleted once nothing can reach
    // it any more (the draft, the published copy, an undo step), at the next cleanDirectories() or unloadModel().
    void noteReplacedAsset(const ZERI_ContentAsset& asset);
    QStringList pendingServerDeletionsForTesting() const { return m_serverDeletionCandidates.keys(); }

    // A screen preview's file (its own, or the download of the server's) leaves through retireReplacedFile().
    void screenPreviewReplaced(const ZERI_ContentAsset& old) override;
    // A file of the document's that something new replaced (a screen's earlier preview, or the download of the
    // server's): it leaves the folder, through PackageFileGuard, once a draft written after this call is on disk
    // (the draft names the successor) and the document does not name the file again by then (an undo brought it
    // back). A file something else still holds (an upload) waits for a later save. Main thread.
    void retireReplacedFile(const QString& path);
    QStringList retiredFilesForTesting() const { return m_retiredFiles.keys(); }

    bool isDamaged() const { return !m_damage.isNull(); }

    // Makes "assets/" and "published_assets/" real folders of the package before anything is deleted from or
    // written into them: a folder that is a symbolic link (a package brought from elsewhere) is replaced by a real
    // one holding copies of the files the documents reference through it, and the link's target is left as it was.
    // A referenced file that resolves outside the package is not copied and its address is cleared, as for any
    // local file outside the package. False when a folder cannot be made the package's own. Writers go through
    // PackageFileGuard, which calls this.
    bool ensureOwnFolders();

private:
    ZERI_qvdFilePackage(QString id, QString path);
    static std::shared_ptr<ZERI_qvdFilePackage> make(const QString& id, const QString& path);
    // The local files (asset files and download caches) a document JSON refers to.
    static std::optional<QSet<QString>> referencedFiles(const QString& documentFile, const QStringList& folders);
    static QSet<QString> referencedFiles(const ZERI_TessarineModel& document, const QStringList& folders);
    // "assets/" and "published_assets/", where the documents' files may lie.
    QStringList assetFolders() const { return {assetsPath(), publishedAssetsPath()}; }
    QSet<QString> reachableContentIDs();
    // The loaded document, else the one unloaded last while it still matches the draft on disk; nullptr when the
    // draft has to be read.
    std::shared_ptr<ZERI_TessarineModel> documentOfDraft() const;
    // The files the draft, the published copy and the package's preview name; none when one cannot be read.
    std::optional<QSet<QString>> filesToKeep();
    // Adds the package's preview, and the files named at the package's old place that are now its own.
    void keepPreviewAndMovedNames(QSet<QString>& keep);
    // Deletes the listed files that `keep` and the undo steps do not hold, and the stale pieces among `hidden`.
    void removeStrayFiles(const QSet<QString>& keep, const QStringList& files, const QStringList& hidden);
    bool ensureOwnFolder(const QString& folder);
    void flushServerDeletions(const QSet<QString>& reachable);
    void dropModels();
    void removeFromList();
    // Hidden name of a deleted package's folder until it is removed; a scan of the packages removes what is left.
    static constexpr const char* kDeletedFolderPrefix = ".deleted-";
    static void removeFolderSetAside(const QString& aside);
    bool writeJsonFile(const QString& path, const QByteArray& data, Error* error);
    // Copies the document's title, description, time stamp and server ids into the metadata.
    void takeMetadataFromModel();
    // Writes the metadata unless the file already holds it; in the background with `soon`.
    bool writeMetadataIfChanged(bool soon, Error* error);
    // Hands `json` to the package writer for "metadata.json", then deletes `replaced` (an encoded absolute path,
    // may be empty) once it is written.
    void postMetadataWrite(const QJsonObject& json, const QByteArray& replaced);
    void startDraftWrite();
    // The end of loadModel() and loadModelSoon(): `document`, read from draft text of `hash`, becomes model();
    // `dictionary` is its dictionary form, when already made.
    void adoptLoadedDocument(const std::shared_ptr<ZERI_TessarineModel>& document, const QByteArray& hash,
                             QJsonObject dictionary);
    void draftWritten(quint64 generation, const QJsonObject& dictionary, const QByteArray& hash, bool changed,
                      bool written);
    // After the draft of `generation` reached the disk: the retired files it no longer needs go.
    void removeRetiredFiles(quint64 generation);

    QString m_id;
    QString m_path;
    // The preview path outside the package last logged, so a list shown again does not log it again.
    QString m_loggedOutsidePreview;
    std::shared_ptr<ZERI_TessarineModel> m_model;
    std::shared_ptr<ZERI_TessarineModel> m_publishedModel;
    std::unique_ptr<ZERI_qvdFilePackageMetadata> m_metadata;
    QByteArray m_lastDraftHash;
    // The dictionary form the draft on disk was written from (empty until a save wrote or confirmed it): a
    // document whose dictionary is still this one needs no new text.
    QJsonObject m_lastDraftDictionary;
    QJsonObject m_lastWrittenMetadata;
    // Out of the list (deleted, or forgotten with its folder being deleted): nothing is written into it any more.
    bool m_removed = false;
    std::weak_ptr<ZERI_TessarineModel> m_unloadedDocument;
    struct DraftWrite {
        quint64 generation = 0; // of the latest save; a background write of an older one is outdated
        bool inFlight = false;
        bool again = false; // a save was asked for while one was being written
    } m_draftWrite;
    Error m_damage;
    QHash<QString, QString> m_serverDeletionCandidates; // content id -> local file path (may be empty)
    QHash<QString, quint64> m_retiredFiles;             // clean absolute path -> draft generation when retired
};
