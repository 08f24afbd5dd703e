#pragma once

#include <memory>
#include <vector>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

#include "app/QVRActionLog.h"
#include "app/QVRTimedAnalytics.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLibrary.h"

namespace viewertest {

// Fresh Application Support and temporary folders with the document packages known to the model, a fake service
// serving the media, an action log that keeps every event, and the viewer library registered.
class ScopedViewerEnvironment {
public:
    ScopedViewerEnvironment()
        : m_log(m_support.filePath(QStringLiteral("actionlog.json")),
                [](const QByteArray&, std::function<void(bool)>) {})
    {
        AppPaths::setApplicationSupportForTesting(m_support.path());
        AppPaths::setTemporaryForTesting(m_temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        QVRActionLog::setSharedForTesting(&m_log);
        QVRTimedAnalytics::resetForTesting();
        registerViewerLibrary();
        m_started = service.start();
    }
    ~ScopedViewerEnvironment()
    {
        QVRTimedAnalytics::resetForTesting();
        QVRActionLog::setSharedForTesting(nullptr);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }
    bool started() const { return m_started; }
    QString temporaryPath(const QString& name) const { return m_temporary.filePath(name); }

    // The logged events of that name.
    QList<QJsonObject> events(const QString& name) const
    {
        QList<QJsonObject> found;
        for (const QJsonValue& value : m_log.backlog()) {
            if (value.toObject().value(QStringLiteral("name")).toString() == name)
                found.append(value.toObject());
        }
        return found;
    }

    FakeWebService service;

private:
    QTemporaryDir m_support;
    QTemporaryDir m_temporary;
    QVRActionLog m_log;
    bool m_started = false;
};

inline QByteArray imageBytes(const QColor& colour, const QSize& size = QSize(320, 240), const char* format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A PDF of one page per colour, each page filled with its colour.
inline QByteArray pdfBytes(const std::vector<QColor>& colours)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(512, 374), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (i > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, 512, 374), colours[i]);
    }
    painter.end();
    return bytes;
}

// A saved document of one screen holding `object`, with a package (so its files have a folder to land in).
inline std::shared_ptr<ZERI_TessarineModel> saveDocumentWith(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                             const QString& title = QStringLiteral("Title"))
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->setTitle(title);
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    if (object)
        screen->addMixedMediaObject(object);
    Error error;
    if (!ZERI_qvdFilePackage::saveModelToFile(document, &error))
        qWarning() << "cannot save the test document:" << error.message;
    return document;
}

inline std::shared_ptr<ZERI_ContentAsset> assetAt(const QUrl& url, const QString& sourceFileName = QString())
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(url);
    if (!sourceFileName.isEmpty())
        asset->setSourceFileName(sourceFileName);
    return asset;
}

// A gallery object whose full-size images are served by the fake service, one per URL.
inline std::shared_ptr<ZERI_MixedMediaObjectProxy> makeGallery(const QList<QUrl>& urls)
{
    auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    auto manager = gallery->object()->galleryAssetManager();
    for (int i = 0; i < urls.size(); ++i)
        manager->insertImageAsset(assetAt(urls[i]), i);
    return gallery;
}

} // namespace viewertest
