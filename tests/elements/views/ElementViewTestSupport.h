#pragma once

#include <functional>
#include <memory>

#include <QColor>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QRectF>
#include <QTemporaryDir>
#include <QUrl>

#include "support/fakeservice/FakeHttp.h"
#include "tessarine_data_model/DocumentFilePackage.h"

class ZERI_ContentAsset;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;
class ZERI_TessarineModel;

// A package folder in a temporary directory, just enough for assets to have an asset folder.
class TestFolderPackage : public DocumentFilePackage {
public:
    explicit TestFolderPackage(QString folder);
    QString packageID() const override;
    QString assetStoragePath() const override;
    QString publishedAssetStoragePath() const override;

private:
    QString m_folder;
};

// A document with one flow and one screen, living in its own package folder.
struct TestDocument {
    TestDocument();
    QString assetsPath() const;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> addObject(int type, const QRectF& frame);

    QTemporaryDir dir;
    std::shared_ptr<TestFolderPackage> package;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
};

// An HTTP server on 127.0.0.1 that serves files set by path and counts every request it receives.
class PictureServer {
public:
    PictureServer();
    QUrl url(const QString& path) const;
    // 200 with these bytes; status 404 for anything not set.
    void serve(const QString& path, const QByteArray& bytes);
    void refuse(const QString& path);
    int requests(const QString& path) const;
    int totalRequests() const;

private:
    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_files;
    QHash<QString, int> m_requests;
    std::unique_ptr<FakeHttpServer> m_server;
};

QByteArray solidPng(const QSize& size, const QColor& color);
bool writeFile(const QString& path, const QByteArray& bytes);
std::shared_ptr<ZERI_ContentAsset> assetWithUrl(const QUrl& url);
// Where a downloader of `url` into `folder` keeps its file.
QString cachedFilePath(const QUrl& url, const QString& folder);
// Files of a folder, names only.
QStringList filesIn(const QString& folder);
