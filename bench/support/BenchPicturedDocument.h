#pragma once

#include <memory>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QUrl>

#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// A picture with detail on every row, so that neither JPEG nor the PDF compresses it to nothing.
inline QImage busyPicture(int seed)
{
    QImage image(1024, 748, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < image.height(); y += 8)
        painter.fillRect(0, y, image.width(), 8, QColor::fromHsv((seed * 37 + y / 8) % 360, 160, 200 - (y / 8) % 60));
    for (int x = 0; x < image.width(); x += 50)
        painter.fillRect(x, 0, 2, image.height(), Qt::white);
    return image;
}

// Screen `index` of a pictured document: the picture at `path` over the whole screen under two text boxes.
inline std::shared_ptr<ZERI_FlowScreenModel> picturedScreen(const QString& path, int index)
{
    auto screen = ZERI_FlowScreenModel::create();
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    picture->as<ZERI_MMObject_Image>()->setCroppedImageAsset(asset);
    picture->object()->setFrame(QRectF(0, 0, 1024, 748));
    screen->addMixedMediaObject(picture);
    for (int t = 0; t < 2; ++t) {
        auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        text->as<ZERI_MMObject_Text>()->setText(QStringLiteral("Screen %1, text %2").arg(index + 1).arg(t + 1));
        text->object()->setFrame(QRectF(60, 60 + 200 * t, 600, 150));
        screen->addMixedMediaObject(text);
    }
    return screen;
}

// A document of `screens` screens, each a full-screen JPEG written into `folder` under two text boxes; the
// pictures' paths go to `pictures` when given.
inline std::shared_ptr<ZERI_TessarineModel> makePicturedDocument(const QString& folder, int screens,
                                                                 QStringList* pictures = nullptr)
{
    auto document = ZERI_TessarineModel::create();
    for (int i = 0; i < screens; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("picture%1.jpg").arg(i));
        busyPicture(i).save(path, "JPEG", 85);
        if (pictures)
            pictures->append(path);
        document->firstFlowmodel()->addFlowScreen(picturedScreen(path, i));
    }
    return document;
}
