#pragma once

#include <memory>
#include <vector>

#include <QDir>
#include <QImage>
#include <QPdfDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include "../previews/PreviewTestSupport.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "viewer/output/QVRPDFGenerator.h"

namespace outputtest {

// A solid picture file of the given size; its path.
inline QString writePicture(const QString& folder, const QString& name, QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = QDir(folder).filePath(name);
    image.save(path, "PNG");
    return path;
}

inline std::shared_ptr<ZERI_ContentAsset> fileAsset(const QString& path)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    return asset;
}

inline const QRectF kPictureFrame(462, 200, 512, 374);

// Screen n (1-based): its own background colour, the text "Screen n" and a solid picture.
inline QColor screenColour(int n)
{
    return QColor::fromHsv((n * 37) % 360, 160, 200);
}

inline std::shared_ptr<ZERI_FlowScreenModel> makeScreen(int n, const QString& pictureFolder)
{
    auto screen = ZERI_FlowScreenModel::create();
    screen->setBackgroundColor(screenColour(n));
    auto label = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    label->as<ZERI_MMObject_Text>()->setText(QStringLiteral("Screen %1").arg(n));
    label->object()->setFrame(QRectF(60, 60, 380, 120));
    screen->addMixedMediaObject(label);
    auto picture = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    const QString path = writePicture(pictureFolder, QStringLiteral("picture%1.png").arg(n), QSize(512, 374),
                                      QColor(20, 200 - n * 5, 40 + n * 5));
    picture->as<ZERI_MMObject_Image>()->setOriginalImageAsset(fileAsset(path));
    picture->as<ZERI_MMObject_Image>()->setCroppedImageAsset(fileAsset(path));
    picture->object()->setFrame(kPictureFrame);
    screen->addMixedMediaObject(picture);
    return screen;
}

inline std::shared_ptr<ZERI_TessarineModel> makeDocument(int screens, const QString& pictureFolder)
{
    auto document = ZERI_TessarineModel::create();
    for (int i = 1; i <= screens; ++i)
        document->firstFlowmodel()->addFlowScreen(makeScreen(i, pictureFolder));
    return document;
}

// Adds a gallery of pictures of these sizes to the screen; the files' paths.
inline QStringList addGallery(ZERI_FlowScreenModel& screen, const QString& folder, const QList<QSize>& sizes)
{
    auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    gallery->object()->setFrame(QRectF(40, 500, 300, 200));
    auto manager = gallery->object()->galleryAssetManager();
    QStringList paths;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString path =
            writePicture(folder, QStringLiteral("gallery-%1x%2.png").arg(sizes[i].width()).arg(sizes[i].height()),
                         sizes[i], QColor(200, 120, 20 + 40 * i));
        manager->insertImageAsset(fileAsset(path), i);
        paths << path;
    }
    screen.addMixedMediaObject(gallery);
    return paths;
}

// Records what an export reports, and on which thread.
struct RecordingDelegate : QVRPDFGeneratorDelegate {
    QStringList reports;
    bool offMainThread = false;
    int completions = 0;
    Error error;
    int leftOut = -1;
    bool reportAfterCompletion = false;

    void pdfGenerator(QVRPDFGenerator&, int page, int total) override
    {
        offMainThread |= QThread::currentThread() != qApp->thread();
        reportAfterCompletion |= completions > 0;
        reports << QStringLiteral("%1 of %2").arg(page).arg(total);
    }
    void pdfGeneratorDidFinishGeneratingPdf(QVRPDFGenerator&, const QString&, const Error& e, int left) override
    {
        offMainThread |= QThread::currentThread() != qApp->thread();
        ++completions;
        error = e;
        leftOut = left;
    }
    bool waitForCompletion(int timeoutMs = 20000)
    {
        return QTest::qWaitFor([this] { return completions > 0; }, timeoutMs);
    }
};

inline QSizeF pagePoints(QPdfDocument& pdf, int page)
{
    return pdf.pagePointSize(page);
}

} // namespace outputtest
