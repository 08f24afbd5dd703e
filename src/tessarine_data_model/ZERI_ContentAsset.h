#pragma once

#include <memory>

#include <QImage>
#include <QString>
#include <QUrl>

#include "tessarine_data_model/TessarineDataModelItem.h"

class VideoAssetCompressorPreset;

// One media file of a document: where it is (a local file URL or a remote one; a streaming site's link for an
// embedded video), what it was imported as, and the re-encoding preset a video still waits for. Identified by
// a universal id (internalID). Its parent is the object, gallery, screen or background that uses it.
//
// This is the record and its dictionary form; files, downloads, imports and reference counts are the storage
// layer's.
class ZERI_ContentAsset : public TessarineDataModelItem {
public:
    ZERI_ContentAsset() = default;
    // An empty asset with a new universal id.
    static std::shared_ptr<ZERI_ContentAsset> create();
    // nullptr (with `error`) when a value has the wrong kind.
    static std::shared_ptr<ZERI_ContentAsset> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    // A copy of the record (same id and file) with no parent.
    std::shared_ptr<ZERI_ContentAsset> copy() const;

    QUrl externalURL() const;
    // The address as stored, unparsed: for taking thousands at once, to be parsed elsewhere.
    QString externalURLText() const { return m_externalURL; }
    // No effect when equal; otherwise records the URL and marks the asset (and its document) changed.
    void setExternalURL(const QUrl& url);
    QString sourceFileName() const { return m_sourceFileName; }
    void setSourceFileName(const QString& name);
    bool isBakedAsset() const { return m_isBakedAsset; }
    void setIsBakedAsset(bool baked);
    QString corvikContentID() const { return m_corvikContentID; }
    // A different content id forgets the remote address, which belonged to the content sent before.
    void setCorvikContentID(const QString& contentID);
    // Where the service serves the uploaded file (set with the content id once the upload is confirmed); the
    // asset keeps pointing at its local file, so the document still shows without a download.
    QUrl remoteURL() const;
    QString remoteURLText() const { return m_remoteURL; }
    void setRemoteURL(const QUrl& url);
    // The address a person elsewhere can open: the external URL when it is an http(s) one, else the remote
    // address of the uploaded file; empty when the file never reached the service.
    QUrl webURL() const;
    std::shared_ptr<VideoAssetCompressorPreset> videoCompressionPreset() const { return m_preset; }
    void setVideoCompressionPreset(const std::shared_ptr<VideoAssetCompressorPreset>& preset);

    // The path of a local file URL; empty for remote URLs (those are the downloader's).
    QString localFilePath() const;
    // Where the file of the content at `url` lives in the asset folder `folder`: a local file already in that
    // folder is itself; any other address (a web address) is named by the SHA-1 of its text plus the extension of
    // a kind of media. The one rule by which the downloader stores a file and everything else finds it.
    static QString fileForUrlInFolder(const QUrl& url, const QString& folder);
    // Where the asset's file is on this computer, as every drawing, output and download finds it: a web address
    // (or a local file's address) and a folder, whose file is fileForUrlInFolder(url, folder).
    struct Location {
        QUrl url;
        QString folder;
        QString path;
        bool onDisk = false;
    };
    // The one rule by which a file is looked for: a local file URL's own file; then, in each of `folders` in order
    // (a document's asset folder, then its published copy's), the file by its local name (a moved, copied or
    // published document keeps its files' names), then by the web name of its external address and of the remote
    // address of its uploaded file (as the downloader names a fetched file). The first on disk wins. When none is,
    // the place a download lands: the web address (external, else remote) in the first folder, else the local
    // name there. Empty when the asset has no address. Any thread; it reads only the arguments and the disk.
    static Location locate(const QString& externalURL, const QString& remoteURL, const QStringList& folders);
    // Every place locate() looks, in its order.
    static QStringList candidateFiles(const QString& externalURL, const QString& remoteURL, const QStringList& folders);
    // locate() for this asset in its document's folders (ZERI_TessarineModel::documentAssetFolders).
    Location location() const;
    QStringList assetFolders() const;
    // location().path: the file the asset's content is read from, or where it will be once fetched.
    QString storedFilePath() const;
    // Decodes the asset's file (storedFilePath()). Null on the main thread unless `ignoreThreadSafety` (decoding
    // may take long), and for a missing or unreadable file.
    QImage getImage() const { return getImageIgnoreThreadSafety(false); }
    QImage getImageIgnoreThreadSafety(bool ignoreThreadSafety) const;

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    // Kept as text: documents hold thousands of assets and most URLs are never looked at.
    QString m_externalURL;
    QString m_sourceFileName;
    bool m_isBakedAsset = false;
    QString m_corvikContentID;
    QString m_remoteURL;
    std::shared_ptr<VideoAssetCompressorPreset> m_preset;
};
