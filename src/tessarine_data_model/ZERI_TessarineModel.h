#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QStringList>

#include "tessarine_data_model/DocumentService.h"
#include "tessarine_data_model/TessarineDataModelItem.h"

class DocumentFilePackage;
class VideoCompressionManager;
class ZERI_FlowModel;

// A presentation document: its flows (the first is the root flow, whose title is the document's title), its
// server identity and publishing settings. The root of the item tree.
//
// Dictionary form: {"tessarine": {"docVersion": "1.3", "id": …, "flows": [...], ...}} (docs/document-format.md).
// Reading accepts any "docVersion"; writing always writes "1.3".
class ZERI_TessarineModel : public TessarineDataModelItem {
public:
    static const QString kDocVersion;

    ZERI_TessarineModel();
    ~ZERI_TessarineModel() override;

    // A new document with a new id and one empty flow, not yet saved.
    static std::shared_ptr<ZERI_TessarineModel> create();
    // From the dictionary form, without a package (or with `package`, whose id the document takes; held
    // weakly). nullptr with `error` when the dictionary lacks "tessarine" or a value has the wrong kind; objects
    // of unknown type are skipped with a warning. Never a half-built document.
    static std::shared_ptr<ZERI_TessarineModel> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    static std::shared_ptr<ZERI_TessarineModel>
    initWithDict(const QJsonObject& dict, const std::shared_ptr<DocumentFilePackage>& package, Error* error = nullptr);
    // From JSON text (a draft file, a service reply's document); the error also covers text that is not JSON.
    static std::shared_ptr<ZERI_TessarineModel> initWithJsonData(const QByteArray& data, Error* error = nullptr,
                                                                 const QString& sourceName = QString());
    // The compact, key-sorted JSON text of jsonDictionary(): the same document always gives the same bytes.
    QByteArray jsonData() const;

    // A copy made from the dictionary form for playing (viewer, tablet preview): saving switched off, assets
    // resolved against this document's package.
    std::shared_ptr<ZERI_TessarineModel> readOnlyCopy() const;
    // A new document with one empty flow that stands in for this one while a copy of some of its screens is
    // drawn: saving switched off, the same theme and publish-preview flags, assets resolved against this
    // document's package.
    std::shared_ptr<ZERI_TessarineModel> drawingShell() const;

    const std::vector<std::shared_ptr<ZERI_FlowModel>>& flowModels() const { return m_flows; }
    std::shared_ptr<ZERI_FlowModel> firstFlowmodel() const;
    void addFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow);
    void removeFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow);

    // The first flow's title; empty without flows.
    QString title() const;
    // The document id (its package folder's name).
    QString qvdID() const { return internalID(); }
    QString docVersion() const { return m_docVersion; }
    QString apiID() const { return m_apiID; }
    void setApiID(const QString& apiID);
    // Reported as "stringID".
    QString stringID() const { return m_stringID; }
    void setStringID(const QString& stringID);
    QString alias() const { return m_alias; }
    void setAlias(const QString& alias);
    QString description() const { return m_description; }
    void setDescription(const QString& description);
    bool canRemix() const { return m_canRemix; }
    void setCanRemix(bool canRemix);
    bool isThemeTessarine() const { return m_isThemeTessarine; }
    void setIsThemeTessarine(bool isTheme);
    bool sideMenuOpen() const { return m_sideMenuOpen; }
    void setSideMenuOpen(bool open);
    QStringList categories() const { return m_categories; }
    void setCategories(const QStringList& categories);
    // Not stored: a preview of the published copy takes its assets from the published folder.
    bool isPublishPreview() const { return m_isPublishPreview; }
    void setIsPublishPreview(bool preview);
    // Not stored: while true the document is never written to its package (a scheduled save is dropped).
    bool dontSave() const { return m_dontSave; }
    void setDontSave(bool dontSave)
    {
        m_dontSave = dontSave;
        if (dontSave)
            m_saveScheduled = false;
    }

    // Schedules one save 1.0 s from now unless one is already scheduled: every change of that second joins it.
    // Nothing while saving is switched off.
    static constexpr double kSaveDelaySeconds = 1.0;
    void setNeedsSaveToFile();
    // True from a change until its draft is on disk: while a save is scheduled, and while the package still writes
    // the draft of the last one.
    bool isSaveScheduled() const;
    // Writes the draft now through the package (made first, through the registered maker, when the document has
    // none). False, with `error`, when saving is off or the package cannot save.
    bool saveToFile(Error* error = nullptr);

    // Host name of the service's public pages, for publishURL ("www.tessarine.com" unless configured), and the
    // scheme their addresses are reached by ("https" unless configured with the host).
    static QString publishWebHost();
    static QString publishWebScheme();
    static void setPublishWebHost(const QString& host, const QString& scheme = QStringLiteral("https"));
    // host + "/s/" + string id, without scheme; none without a string id.
    std::optional<QString> publishURL() const;
    // An iframe showing the published document at the first flow's size; empty without a publish URL.
    QString embedCode() const;

    std::shared_ptr<DocumentFilePackage> filePackage() const { return m_package.lock(); }
    void setFilePackage(const std::shared_ptr<DocumentFilePackage>& package);
    // The asset folder of the package (published folder for publish previews), or of the package the document
    // was copied from; empty when there is none.
    QString documentAssetStoragePath() const;
    // Every folder the document's files may lie in, in the order they are looked in: the package's asset folder,
    // then its published copy's (the other way round for publish previews, whose own folder is the published one).
    QStringList documentAssetFolders() const;
    // Made on first use and kept for the document's life.
    std::shared_ptr<VideoCompressionManager> documentVideoCompressionManager();

    // Server operations, carried out by the registered DocumentService (see there for the completions).
    //
    // Posted when a fork completed; object: the document (now the fork); userInfo "overwrite" (bool) and, when
    // the server copy was kept, "oldModel" (ModelItemRef of that copy, downloaded into a package of its own).
    static const QString forkCompletedNotification; // "ZERI_TessarineModelForkCompletedNotification"
    // The full save with no privacy option, no password and no alias.
    void saveToServer(int publishState, DocumentService::SaveCompletion onDone);
    // Writes the draft, then creates the server document ("tessarine.create") or updates it; "published" is sent
    // unless the state is DocumentService::Draft. With `record` a failure is logged as an analytics event.
    void saveToServer(int publishState, const std::optional<QString>& privacyOption,
                      const std::optional<QString>& password, const QString& alias,
                      DocumentService::SaveCompletion onDone, bool record);
    void forkOnServer(int publishState, const std::optional<QString>& privacyOption,
                      const std::optional<QString>& password, bool overwrite, DocumentService::ForkCompletion onDone,
                      bool record);

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    // With `soon`, the package may write the draft in the background (the scheduled save).
    bool saveToFile(Error* error, bool soon);

    std::vector<std::shared_ptr<ZERI_FlowModel>> m_flows;
    QString m_docVersion;
    QString m_apiID;
    QString m_stringID;
    QString m_alias;
    QString m_description;
    bool m_canRemix = false;
    bool m_isThemeTessarine = false;
    bool m_sideMenuOpen = false;
    QStringList m_categories;
    bool m_isPublishPreview = false;
    bool m_dontSave = false;
    bool m_saveScheduled = false;
    std::weak_ptr<DocumentFilePackage> m_package;
    std::weak_ptr<DocumentFilePackage> m_assetSourcePackage;
    std::shared_ptr<VideoCompressionManager> m_videoCompressionManager;
};
