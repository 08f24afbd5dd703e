#include "storage/ZERI_qvdFilePackageMetadata.h"

#include <cmath>
#include <limits>

#include <QJsonValue>

#include "platform/CheckedNumbers.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {
const QString kName = QStringLiteral("tessarineName");
const QString kDescription = QStringLiteral("tessarineDescription");
const QString kUpdated = QStringLiteral("updatedTimeStamp");
const QString kPreviewPath = QStringLiteral("previewScreenshotFilePath");
const QString kPreviewURL = QStringLiteral("previewScreenshotURLString");
const QString kStringID = QStringLiteral("stringID");
const QString kApiID = QStringLiteral("apiID");
const QString kAlias = QStringLiteral("alias");
const QString kPackageType = QStringLiteral("packageType");
const QString kOwner = QStringLiteral("owner");
const QString kPrivacy = QStringLiteral("privacySetting");
const QString kHasPassword = QStringLiteral("hasPassword");
const QString kThemeID = QStringLiteral("themeTessarineThemeID");
const QString kPublished = QStringLiteral("publishedTimeStamp");
const QString kLastServerSave = QStringLiteral("lastServerSaveTimeStamp");
const QString kDraftRevision = QStringLiteral("draftRevision");
const QString kPublishedRevision = QStringLiteral("publishedDraftRevision");
const QString kServerSavedRevision = QStringLiteral("serverSavedDraftRevision");

const QStringList& knownKeys()
{
    static const QStringList keys{
        kName,    kDescription, kUpdated,        kPreviewPath,   kPreviewURL,        kStringID,
        kApiID,   kAlias,       kPackageType,    kOwner,         kPrivacy,           kHasPassword,
        kThemeID, kPublished,   kLastServerSave, kDraftRevision, kPublishedRevision, kServerSavedRevision};
    return keys;
}

// Older writers stored numbers and flags as texts; accept both. A number a counter cannot hold (a damaged or
// hand-edited file) reads as unset: converting it would be undefined, and the revisions are incremented later.
qint64 integerValue(const QJsonValue& value, qint64 fallback)
{
    constexpr qint64 largest = qint64(1) << 53; // every integer up to here is exact in a JSON number
    qint64 number = fallback;
    if (value.isDouble()) {
        number = CheckedNumbers::wholeNumber<qint64>(value.toDouble()).value_or(fallback);
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().toLongLong(&ok);
        if (!ok)
            return fallback;
    }
    return number >= -largest && number <= largest ? number : fallback;
}

// The package type is a bit mask held in an int.
int packageTypeValue(const QJsonValue& value)
{
    const qint64 type = integerValue(value, ZERI_qvdFilePackage::OwnDocument);
    return type >= 0 && type <= std::numeric_limits<int>::max() ? int(type) : ZERI_qvdFilePackage::OwnDocument;
}

bool boolValue(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool();
    const QString text = value.toString().toLower();
    return text == QLatin1String("yes") || text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace

ZERI_qvdFilePackageMetadata::ZERI_qvdFilePackageMetadata(std::weak_ptr<ZERI_qvdFilePackage> package)
    : m_package(std::move(package))
{
}

template <class T> void ZERI_qvdFilePackageMetadata::assign(T& member, const T& value, const char* key)
{
    if (member == value)
        return;
    member = value;
    m_notifier.reportChange(QString::fromLatin1(key));
}

void ZERI_qvdFilePackageMetadata::readFromJson(const QJsonObject& json)
{
    m_unknown = json;
    for (const QString& key : knownKeys())
        m_unknown.remove(key);
    m_tessarineName = json.value(kName).toString();
    m_tessarineDescription = json.value(kDescription).toString();
    m_updatedTimeStamp = json.value(kUpdated).toString();
    m_previewScreenshotFilePath = json.value(kPreviewPath).toString();
    m_previewScreenshotURLString = json.value(kPreviewURL).toString();
    m_stringID = json.value(kStringID).toString();
    m_apiID = json.value(kApiID).toString();
    m_alias = json.value(kAlias).toString();
    m_packageType = packageTypeValue(json.value(kPackageType));
    m_owner = json.value(kOwner).toObject();
    m_privacySetting = json.value(kPrivacy).isString() ? std::optional(json.value(kPrivacy).toString()) : std::nullopt;
    m_hasPassword = boolValue(json.value(kHasPassword));
    m_themeTessarineThemeID = json.value(kThemeID).toString();
    m_publishedTimeStamp = json.value(kPublished).toString();
    m_lastServerSaveTimeStamp = json.value(kLastServerSave).toString();
    m_draftRevision = integerValue(json.value(kDraftRevision), 0);
    m_publishedDraftRevision = integerValue(json.value(kPublishedRevision), -1);
    m_serverSavedDraftRevision = integerValue(json.value(kServerSavedRevision), -1);
}

QJsonObject ZERI_qvdFilePackageMetadata::jsonObject() const
{
    QJsonObject json = m_unknown;
    json.insert(kName, m_tessarineName);
    json.insert(kDescription, m_tessarineDescription);
    json.insert(kUpdated, m_updatedTimeStamp);
    json.insert(kPreviewPath, m_previewScreenshotFilePath);
    json.insert(kPreviewURL, m_previewScreenshotURLString);
    json.insert(kStringID, m_stringID);
    json.insert(kApiID, m_apiID);
    json.insert(kAlias, m_alias);
    json.insert(kPackageType, m_packageType);
    if (!m_owner.isEmpty())
        json.insert(kOwner, m_owner);
    if (m_privacySetting)
        json.insert(kPrivacy, *m_privacySetting);
    json.insert(kHasPassword, m_hasPassword ? QStringLiteral("YES") : QStringLiteral("NO"));
    json.insert(kThemeID, m_themeTessarineThemeID);
    json.insert(kPublished, m_publishedTimeStamp);
    json.insert(kLastServerSave, m_lastServerSaveTimeStamp);
    json.insert(kDraftRevision, double(m_draftRevision));
    json.insert(kPublishedRevision, double(m_publishedDraftRevision));
    json.insert(kServerSavedRevision, double(m_serverSavedDraftRevision));
    return json;
}

void ZERI_qvdFilePackageMetadata::setTessarineName(const QString& name)
{
    assign(m_tessarineName, name, "tessarineName");
}

void ZERI_qvdFilePackageMetadata::setTessarineDescription(const QString& description)
{
    assign(m_tessarineDescription, description, "tessarineDescription");
    if (const auto package = m_package.lock()) {
        if (const auto document = package->model(); document && document->description() != description)
            document->setDescription(description);
    }
}

void ZERI_qvdFilePackageMetadata::setUpdatedTimeStamp(const QString& stamp)
{
    assign(m_updatedTimeStamp, stamp, "updatedTimeStamp");
}

void ZERI_qvdFilePackageMetadata::setPreviewScreenshotFilePath(const QString& path)
{
    assign(m_previewScreenshotFilePath, path, "previewScreenshotFilePath");
}

void ZERI_qvdFilePackageMetadata::setPreviewScreenshotURLString(const QString& url)
{
    assign(m_previewScreenshotURLString, url, "previewScreenshotURLString");
}

void ZERI_qvdFilePackageMetadata::setStringID(const QString& stringID)
{
    assign(m_stringID, stringID, "stringID");
}

void ZERI_qvdFilePackageMetadata::setApiID(const QString& apiID)
{
    assign(m_apiID, apiID, "apiID");
}

void ZERI_qvdFilePackageMetadata::setAlias(const QString& alias)
{
    assign(m_alias, alias, "alias");
}

void ZERI_qvdFilePackageMetadata::setPackageType(int type)
{
    assign(m_packageType, type, "packageType");
    ZERI_qvdFilePackage::schedulePackagesChangedNotification();
}

void ZERI_qvdFilePackageMetadata::setOwner(const QJsonObject& owner)
{
    assign(m_owner, owner, "owner");
}

void ZERI_qvdFilePackageMetadata::setPrivacySetting(const std::optional<QString>& privacy)
{
    assign(m_privacySetting, privacy, "privacySetting");
}

void ZERI_qvdFilePackageMetadata::setHasPassword(bool hasPassword)
{
    assign(m_hasPassword, hasPassword, "hasPassword");
}

void ZERI_qvdFilePackageMetadata::setThemeTessarineThemeID(const QString& themeID)
{
    assign(m_themeTessarineThemeID, themeID, "themeTessarineThemeID");
}

void ZERI_qvdFilePackageMetadata::setPublishedTimeStamp(const QString& stamp)
{
    assign(m_publishedTimeStamp, stamp, "publishedTimeStamp");
}

void ZERI_qvdFilePackageMetadata::setLastServerSaveTimeStamp(const QString& stamp)
{
    assign(m_lastServerSaveTimeStamp, stamp, "lastServerSaveTimeStamp");
}

void ZERI_qvdFilePackageMetadata::setDraftRevision(qint64 revision)
{
    assign(m_draftRevision, revision, "draftRevision");
}

void ZERI_qvdFilePackageMetadata::setPublishedDraftRevision(qint64 revision)
{
    assign(m_publishedDraftRevision, revision, "publishedDraftRevision");
}

void ZERI_qvdFilePackageMetadata::setServerSavedDraftRevision(qint64 revision)
{
    assign(m_serverSavedDraftRevision, revision, "serverSavedDraftRevision");
}

std::optional<QDateTime> ZERI_qvdFilePackageMetadata::dateFromStamp(const QString& stamp)
{
    if (stamp.isEmpty())
        return std::nullopt;
    return TessarineDateFormatter::sharedFormatter().dateFromString(stamp);
}
