#include "StorageTestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QUrl>

#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/TestPictures.h"

ScopedStorageFolders::ScopedStorageFolders()
{
    AppPaths::setApplicationSupportForTesting(m_support.path());
    AppPaths::setTemporaryForTesting(m_temporary.path());
    ZERI_qvdFilePackage::resetForTesting();
}

ScopedStorageFolders::~ScopedStorageFolders()
{
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}

std::shared_ptr<ZERI_TessarineModel> makeDocumentWithOneScreen()
{
    auto document = ZERI_TessarineModel::create();
    document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    return document;
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> addImageObject(ZERI_TessarineModel& document, const QString& filePath)
{
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(filePath));
    object->object()->setOriginalImageAsset(asset);
    object->object()->setFrame(QRectF(10, 10, 200, 100));
    document.firstFlowmodel()->screenModels().front()->addMixedMediaObject(object);
    return object;
}

bool writeBytes(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray pngBytes(int width, int height)
{
    return pngBytes(QSize(width, height), QColor(200, 40, 40), QImage::Format_ARGB32);
}
