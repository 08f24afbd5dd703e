#include "ModelTestSupport.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

DocumentWithFiles makeDocumentWithFiles(const QString& folder, const QList<qint64>& sizes)
{
    DocumentWithFiles document;
    document.model = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    document.model->firstFlowmodel()->addFlowScreen(screen);
    QDir().mkpath(folder);
    static int fileNumber = 0;
    for (qint64 size : sizes) {
        const QString path = QDir(folder).filePath(QStringLiteral("asset%1.bin").arg(fileNumber++));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(size, char('a' + fileNumber % 26)));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(path));
        auto object = ZERI_MixedMediaObject::objectWithType(2);
        object->object()->setOriginalImageAsset(asset);
        screen->addMixedMediaObject(object);
        document.assets.push_back(asset);
        document.paths.append(path);
    }
    return document;
}
