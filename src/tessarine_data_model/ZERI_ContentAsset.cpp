#include "tessarine_data_model/ZERI_ContentAsset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

#include "platform/MainThread.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {
const QString kIdKey = QStringLiteral("id");
const QString kExternalURLKey = QStringLiteral("externalURL");
const QString kSourceFileNameKey = QStringLiteral("sourceFileName");
const QString kIsBakedAssetKey = QStringLiteral("isBakedAsset");
const QString kCorvikContentIDKey = QStringLiteral("corvikContentID");
const QString kRemoteURLKey = QStringLiteral("remoteURL");

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}
const QString kPresetKey = QStringLiteral("videoCompressionPreset");
} // namespace

std::shared_ptr<ZERI_ContentAsset> ZERI_ContentAsset::create()
{
    auto asset = std::make_shared<ZERI_ContentAsset>();
    asset->setInternalID(newUniqueID());
    return asset;
}

std::shared_ptr<ZERI_ContentAsset> ZERI_ContentAsset::initWithDict(const QJsonObject& dict, Error* error)
{
    ModelReadStatus status;
    auto asset = std::make_shared<ZERI_ContentAsset>();
    asset->readFromReader(ModelJsonReader(dict, QString(), status), false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return asset;
}

std::shared_ptr<ZERI_ContentAsset> ZERI_ContentAsset::copy() const
{
    auto asset = std::make_shared<ZERI_ContentAsset>();
    ModelReadStatus status;
    asset->readFromReader(ModelJsonReader(jsonDictionary(), QString(), status), false);
    return asset;
}

QUrl ZERI_ContentAsset::externalURL() const
{
    return m_externalURL.isEmpty() ? QUrl() : QUrl(m_externalURL, QUrl::TolerantMode);
}

void ZERI_ContentAsset::setExternalURL(const QUrl& url)
{
    const QString text = url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
    if (m_externalURL == text)
        return;
    m_externalURL = text;
    didChange(QStringLiteral("externalURL"));
}

void ZERI_ContentAsset::setSourceFileName(const QString& name)
{
    if (m_sourceFileName == name)
        return;
    m_sourceFileName = name;
    didChange(QStringLiteral("sourceFileName"));
}

void ZERI_ContentAsset::setIsBakedAsset(bool baked)
{
    if (m_isBakedAsset == baked)
        return;
    m_isBakedAsset = baked;
    didChange(QStringLiteral("isBakedAsset"));
}

void ZERI_ContentAsset::setCorvikContentID(const QString& contentID)
{
    if (m_corvikContentID == contentID)
        return;
    m_corvikContentID = contentID;
    didChange(QStringLiteral("corvikContentID"));
    setRemoteURL(QUrl());
}

QUrl ZERI_ContentAsset::remoteURL() const
{
    return m_remoteURL.isEmpty() ? QUrl() : QUrl(m_remoteURL, QUrl::TolerantMode);
}

void ZERI_ContentAsset::setRemoteURL(const QUrl& url)
{
    const QString text = url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
    if (m_remoteURL == text)
        return;
    m_remoteURL = text;
    didChange(QStringLiteral("remoteURL"));
}

QUrl ZERI_ContentAsset::webURL() const
{
    if (const QUrl external = externalURL(); isWebAddress(external))
        return external;
    if (const QUrl remote = remoteURL(); isWebAddress(remote))
        return remote;
    return {};
}

void ZERI_ContentAsset::setVideoCompressionPreset(const std::shared_ptr<VideoAssetCompressorPreset>& preset)
{
    if (m_preset == preset)
        return;
    m_preset = preset;
    didChange(QStringLiteral("videoCompressionPreset"));
}

QString ZERI_ContentAsset::localFilePath() const
{
    const QUrl url = externalURL();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

QString ZERI_ContentAsset::fileForUrlInFolder(const QUrl& url, const QString& folder)
{
    const QDir dir(folder);
    if (url.isLocalFile()) {
        const QFileInfo local(url.toLocalFile());
        if (QDir::cleanPath(local.absolutePath()) == QDir::cleanPath(dir.absolutePath()))
            return QDir::cleanPath(local.absoluteFilePath());
    }
    const QByteArray hash =
        QCryptographicHash::hash(url.toString(QUrl::FullyEncoded).toUtf8(), QCryptographicHash::Sha1).toHex();
    QString name = QString::fromLatin1(hash);
    // Only the extension of a kind of media a document holds is kept (players and decoders go by it); any other
    // (".desktop", ".sh") could make the file something the desktop runs, and anything else in the path could
    // name a folder or hide a suffix.
    static const QSet<QString> mediaExtensions{
        QStringLiteral("png"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("gif"),
        QStringLiteral("bmp"),  QStringLiteral("tif"),  QStringLiteral("tiff"), QStringLiteral("webp"),
        QStringLiteral("heic"), QStringLiteral("svg"),  QStringLiteral("ico"),  QStringLiteral("pdf"),
        QStringLiteral("mp4"),  QStringLiteral("m4v"),  QStringLiteral("mov"),  QStringLiteral("avi"),
        QStringLiteral("mkv"),  QStringLiteral("webm"), QStringLiteral("mpg"),  QStringLiteral("mpeg"),
        QStringLiteral("3gp"),  QStringLiteral("mp3"),  QStringLiteral("m4a"),  QStringLiteral("aac"),
        QStringLiteral("wav"),  QStringLiteral("aif"),  QStringLiteral("aiff"), QStringLiteral("caf"),
        QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("flac"), QStringLiteral("avif"),
        QStringLiteral("jfif"), QStringLiteral("wmv"),  QStringLiteral("flv")};
    const QString suffix = QFileInfo(url.path()).suffix();
    if (mediaExtensions.contains(suffix.toLower()))
        name += QLatin1Char('.') + suffix;
    return QDir::cleanPath(dir.absoluteFilePath(name));
}

namespace {

// Where locate() looks, each place as the address and folder whose file it is.
QList<std::pair<QUrl, QString>> placesOf(const QString& externalURL, const QString& remoteURL,
                                         const QStringList& folders)
{
    QList<std::pair<QUrl, QString>> places;
    const QUrl external = externalURL.isEmpty() ? QUrl() : QUrl(externalURL, QUrl::TolerantMode);
    const QUrl remote = remoteURL.isEmpty() ? QUrl() : QUrl(remoteURL, QUrl::TolerantMode);
    QString localName;
    if (external.isLocalFile()) {
        const QFileInfo local(external.toLocalFile());
        places.append({external, local.absolutePath()});
        localName = local.fileName();
    }
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        if (!localName.isEmpty())
            places.append({QUrl::fromLocalFile(QDir(folder).filePath(localName)), folder});
        if (isWebAddress(external))
            places.append({external, folder});
        if (isWebAddress(remote) && remote != external)
            places.append({remote, folder});
    }
    return places;
}

} // namespace

QStringList ZERI_ContentAsset::candidateFiles(const QString& externalURL, const QString& remoteURL,
                                              const QStringList& folders)
{
    QStringList files;
    for (const auto& [url, folder] : placesOf(externalURL, remoteURL, folders))
        files.append(fileForUrlInFolder(url, folder));
    return files;
}

ZERI_ContentAsset::Location ZERI_ContentAsset::locate(const QString& externalURL, const QString& remoteURL,
                                                      const QStringList& folders)
{
    const QList<std::pair<QUrl, QString>> places = placesOf(externalURL, remoteURL, folders);
    for (const auto& [url, folder] : places) {
        const QString path = fileForUrlInFolder(url, folder);
        if (QFileInfo(path).isFile())
            return {url, folder, path, true};
    }
    // Nowhere yet: where a download lands, in the document's own folder.
    const QString own = folders.value(0);
    const QUrl external = externalURL.isEmpty() ? QUrl() : QUrl(externalURL, QUrl::TolerantMode);
    const QUrl remote = remoteURL.isEmpty() ? QUrl() : QUrl(remoteURL, QUrl::TolerantMode);
    for (const QUrl& url : {external, remote}) {
        if (isWebAddress(url) && !own.isEmpty())
            return {url, own, fileForUrlInFolder(url, own), false};
    }
    if (external.isLocalFile()) {
        const QString name = QFileInfo(external.toLocalFile()).fileName();
        if (own.isEmpty() || name.isEmpty())
            return {external, QFileInfo(external.toLocalFile()).absolutePath(), external.toLocalFile(), false};
        const QUrl moved = QUrl::fromLocalFile(QDir(own).filePath(name));
        return {moved, own, fileForUrlInFolder(moved, own), false};
    }
    if (!external.isEmpty() && !own.isEmpty())
        return {external, own, fileForUrlInFolder(external, own), false};
    return {};
}

QStringList ZERI_ContentAsset::assetFolders() const
{
    const auto document = tessarineModel();
    return document ? document->documentAssetFolders() : QStringList();
}

ZERI_ContentAsset::Location ZERI_ContentAsset::location() const
{
    return locate(m_externalURL, m_remoteURL, assetFolders());
}

QString ZERI_ContentAsset::storedFilePath() const
{
    return location().path;
}

QImage ZERI_ContentAsset::getImageIgnoreThreadSafety(bool ignoreThreadSafety) const
{
    if (!ignoreThreadSafety && MainThread::isMainThread())
        return {};
    const QString path = storedFilePath();
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        qCWarning(lcTessarineDataModel) << "cannot decode asset image" << path << reader.errorString();
    return image;
}

QJsonObject ZERI_ContentAsset::makeJsonDictionary() const
{
    QJsonObject dict;
    writeInternalID(dict);
    if (!m_externalURL.isEmpty())
        dict.insert(kExternalURLKey, m_externalURL);
    if (!m_sourceFileName.isEmpty())
        dict.insert(kSourceFileNameKey, m_sourceFileName);
    dict.insert(kIsBakedAssetKey, yesNo(m_isBakedAsset));
    if (!m_corvikContentID.isEmpty())
        dict.insert(kCorvikContentIDKey, m_corvikContentID);
    if (!m_remoteURL.isEmpty())
        dict.insert(kRemoteURLKey, m_remoteURL);
    if (m_preset)
        dict.insert(kPresetKey, m_preset->dictionaryRepresentation());
    return dict;
}

void ZERI_ContentAsset::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    readInternalID(reader, changedKeys);
    assign(m_externalURL, reader.string(kExternalURLKey), QStringLiteral("externalURL"), changedKeys);
    assign(m_sourceFileName, reader.string(kSourceFileNameKey), QStringLiteral("sourceFileName"), changedKeys);
    assign(m_isBakedAsset, reader.boolean(kIsBakedAssetKey), QStringLiteral("isBakedAsset"), changedKeys);
    assign(m_corvikContentID, reader.string(kCorvikContentIDKey), QStringLiteral("corvikContentID"), changedKeys);
    assign(m_remoteURL, reader.string(kRemoteURLKey), QStringLiteral("remoteURL"), changedKeys);
    // A preset read back is a new record; keep the current one when the stored form is the same.
    const auto presetDict = reader.object(kPresetKey);
    if (!presetDict) {
        if (m_preset) {
            m_preset.reset();
            changedKeys.insert(QStringLiteral("videoCompressionPreset"));
        }
    } else if (!m_preset || m_preset->dictionaryRepresentation() != *presetDict) {
        m_preset = VideoAssetCompressorPreset::initWithDict(*presetDict);
        changedKeys.insert(QStringLiteral("videoCompressionPreset"));
    }
}
