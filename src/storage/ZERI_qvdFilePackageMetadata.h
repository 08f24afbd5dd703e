#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_qvdFilePackage;

// The "metadata.json" of a package: what the document lists show without loading the document (title, description,
// preview, owner, server ids, package type) and the bookkeeping of what still needs to go to the service.
//
// Stored as one JSON object keyed by the property names ("tessarineName", "packageType", ...). Members this
// version does not know are kept and written back unchanged.
//
// Bookkeeping: every save whose draft text differs from the last one raises "draftRevision"; a publication
// records the revision it published ("publishedDraftRevision"), a server save the revision it sent
// ("serverSavedDraftRevision"). Revisions, unlike time stamps with whole seconds, cannot miss an edit made in
// the same second as a publication.
//
// Setters store the value and report it through updateNotifier(); they do not write the file (the package's
// saveMetadata() does). Main thread only.
class ZERI_qvdFilePackageMetadata {
public:
    explicit ZERI_qvdFilePackageMetadata(std::weak_ptr<ZERI_qvdFilePackage> package = {});

    // Replaces every field from the stored form; missing members get their defaults.
    void readFromJson(const QJsonObject& json);
    QJsonObject jsonObject() const;

    QString tessarineName() const { return m_tessarineName; }
    void setTessarineName(const QString& name);
    QString tessarineDescription() const { return m_tessarineDescription; }
    // Also sets the loaded document's description (marking it changed only when it differs), so the next save to
    // the service carries a description edited in the creator.
    void setTessarineDescription(const QString& description);
    // Text in the model's date format.
    QString updatedTimeStamp() const { return m_updatedTimeStamp; }
    void setUpdatedTimeStamp(const QString& stamp);
    QString previewScreenshotFilePath() const { return m_previewScreenshotFilePath; }
    void setPreviewScreenshotFilePath(const QString& path);
    QString previewScreenshotURLString() const { return m_previewScreenshotURLString; }
    void setPreviewScreenshotURLString(const QString& url);
    QString stringID() const { return m_stringID; }
    void setStringID(const QString& stringID);
    QString apiID() const { return m_apiID; }
    void setApiID(const QString& apiID);
    QString alias() const { return m_alias; }
    void setAlias(const QString& alias);
    // Bit mask: 1 the user's own editable document, 64 a theme sample document.
    int packageType() const { return m_packageType; }
    // Stores the type and schedules the coalesced packages-changed notification; no save of its own.
    void setPackageType(int type);
    // The owner record from the service ("display_name", "username", "cropped_avatar", ...); empty when unknown.
    QJsonObject owner() const { return m_owner; }
    void setOwner(const QJsonObject& owner);
    QString ownerUserName() const { return m_owner.value(QStringLiteral("username")).toString(); }
    std::optional<QString> privacySetting() const { return m_privacySetting; }
    void setPrivacySetting(const std::optional<QString>& privacy);
    bool hasPassword() const { return m_hasPassword; }
    void setHasPassword(bool hasPassword);
    QString themeTessarineThemeID() const { return m_themeTessarineThemeID; }
    void setThemeTessarineThemeID(const QString& themeID);
    // Texts in the model's date format; empty when never published / never saved to the service.
    QString publishedTimeStamp() const { return m_publishedTimeStamp; }
    void setPublishedTimeStamp(const QString& stamp);
    QString lastServerSaveTimeStamp() const { return m_lastServerSaveTimeStamp; }
    void setLastServerSaveTimeStamp(const QString& stamp);

    qint64 draftRevision() const { return m_draftRevision; }
    void setDraftRevision(qint64 revision);
    // -1 when never published / never saved to the service.
    qint64 publishedDraftRevision() const { return m_publishedDraftRevision; }
    void setPublishedDraftRevision(qint64 revision);
    qint64 serverSavedDraftRevision() const { return m_serverSavedDraftRevision; }
    void setServerSavedDraftRevision(qint64 revision);

    static std::optional<QDateTime> dateFromStamp(const QString& stamp);

    ObjectUpdateNotifier& updateNotifier() { return m_notifier; }

private:
    template <class T> void assign(T& member, const T& value, const char* key);

    std::weak_ptr<ZERI_qvdFilePackage> m_package;
    QJsonObject m_unknown;
    QString m_tessarineName;
    QString m_tessarineDescription;
    QString m_updatedTimeStamp;
    QString m_previewScreenshotFilePath;
    QString m_previewScreenshotURLString;
    QString m_stringID;
    QString m_apiID;
    QString m_alias;
    int m_packageType = 1;
    QJsonObject m_owner;
    std::optional<QString> m_privacySetting;
    bool m_hasPassword = false;
    QString m_themeTessarineThemeID;
    QString m_publishedTimeStamp;
    QString m_lastServerSaveTimeStamp;
    qint64 m_draftRevision = 0;
    qint64 m_publishedDraftRevision = -1;
    qint64 m_serverSavedDraftRevision = -1;
    ObjectUpdateNotifier m_notifier{static_cast<const void*>(this)};
};
