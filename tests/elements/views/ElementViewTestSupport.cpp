#include "ElementViewTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/TestPictures.h"

TestFolderPackage::TestFolderPackage(QString folder)
    : m_folder(std::move(folder))
{
    QDir().mkpath(assetStoragePath());
}

QString TestFolderPackage::packageID() const
{
    return QFileInfo(m_folder).fileName();
}

QString TestFolderPackage::assetStoragePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("assets"));
}

QString TestFolderPackage::publishedAssetStoragePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("published_assets"));
}

TestDocument::TestDocument()
    : package(std::make_shared<TestFolderPackage>(dir.path()))
    , document(ZERI_TessarineModel::create())
{
    document->setDontSave(true);
    document->setFilePackage(package);
    // A new document may already hold its first flow and screen.
    if (document->flowModels().empty())
        document->addFlowModel(ZERI_FlowModel::create());
    const auto& flow = document->flowModels().front();
    if (flow->screenModels().empty())
        flow->addFlowScreen(ZERI_FlowScreenModel::create());
    screen = flow->screenModels().front();
}

QString TestDocument::assetsPath() const
{
    return package->assetStoragePath();
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> TestDocument::addObject(int type, const QRectF& frame)
{
    auto object = ZERI_MixedMediaObject::objectWithType(type);
    (*object)->setFrame(frame);
    screen->addMixedMediaObject(object);
    return object;
}

PictureServer::PictureServer()
{
    m_server = std::make_unique<FakeHttpServer>([this](const FakeHttpRequest& request) {
        QMutexLocker lock(&m_mutex);
        ++m_requests[request.path];
        const auto found = m_files.constFind(request.path);
        if (found == m_files.constEnd())
            return FakeHttpReply::raw(404, "text/plain", "not here");
        return FakeHttpReply::raw(200, "image/png", found.value());
    });
    m_server->start();
}

QUrl PictureServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->port()).arg(path));
}

void PictureServer::serve(const QString& path, const QByteArray& bytes)
{
    QMutexLocker lock(&m_mutex);
    m_files.insert(path, bytes);
}

void PictureServer::refuse(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_files.remove(path);
}

int PictureServer::requests(const QString& path) const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.value(path);
}

int PictureServer::totalRequests() const
{
    QMutexLocker lock(&m_mutex);
    int total = 0;
    for (int count : m_requests)
        total += count;
    return total;
}

QByteArray solidPng(const QSize& size, const QColor& color)
{
    return pngBytes(size, color, QImage::Format_ARGB32_Premultiplied);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

std::shared_ptr<ZERI_ContentAsset> assetWithUrl(const QUrl& url)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(url);
    return asset;
}

QString cachedFilePath(const QUrl& url, const QString& folder)
{
    return ZERI_WebDownloader::cacheFilePathForUrl(url, folder);
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}
