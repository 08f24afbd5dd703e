// render-screens --scene DOCUMENT OUTDIR
//
// The render tool's scene mode: each screen of the document is drawn through a graphics scene of element views,
// as the editor's canvas and the player show it, instead of through the model's drawing. Output, file names and
// exit status are those of the plain mode; the two outputs of one document can be compared pixel for pixel.
// Pictures still being decoded or downloaded are waited for (up to 30 s per screen).

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QTimer>

#include "elements/images/ImageUtils.h"
#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "elements/views/ScreenScene.h"
#include "platform/Json.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

int renderScreensSceneMode(int argc, char** argv);

namespace {

class SceneFolderPackage : public DocumentFilePackage {
public:
    explicit SceneFolderPackage(QString folder)
        : m_folder(std::move(folder))
    {
    }
    QString packageID() const override { return QFileInfo(m_folder).fileName(); }
    QString assetStoragePath() const override { return QDir(m_folder).filePath(QStringLiteral("assets")); }
    QString publishedAssetStoragePath() const override
    {
        return QDir(m_folder).filePath(QStringLiteral("published_assets"));
    }

private:
    QString m_folder;
};

int failScene(const QString& message)
{
    std::fprintf(stderr, "render-screens: %s\n", qPrintable(message));
    return 1;
}

// True once no picture of the scene is still being decoded or downloaded.
bool picturesSettled(const QGraphicsScene& scene)
{
    for (QGraphicsItem* item : scene.items()) {
        const auto* view = dynamic_cast<QVR_ImageHandlingMixedMediaElement*>(item);
        if (view && view->croppedImage() && view->croppedImage()->isLoading())
            return false;
    }
    return true;
}

} // namespace

int renderScreensSceneMode(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4 || arguments[1] != QLatin1String("--scene"))
        return failScene(QStringLiteral("usage: render-screens --scene DOCUMENT OUTDIR"));

    const QFileInfo input(arguments[2]);
    const bool isPackage = input.isDir();
    const QString jsonPath =
        isPackage ? QDir(input.filePath()).filePath(QStringLiteral("docfile.qvd")) : input.filePath();
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly))
        return failScene(QStringLiteral("cannot read %1: %2").arg(jsonPath, file.errorString()));
    const QByteArray data = file.readAll();

    Error error;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<DocumentFilePackage> package;
    if (isPackage) {
        package = std::make_shared<SceneFolderPackage>(input.absoluteFilePath());
        const auto json = Json::read(data, &error);
        if (json && json->isObject())
            document = ZERI_TessarineModel::initWithDict(json->toObject(), package, &error);
        else if (json)
            error.message = QStringLiteral("the document is not a JSON object");
    } else {
        document = ZERI_TessarineModel::initWithJsonData(data, &error, jsonPath);
    }
    if (!document)
        return failScene(QStringLiteral("cannot read the document %1: %2").arg(jsonPath, error.message));

    const QString outDir = arguments[3];
    if (!QDir().mkpath(outDir))
        return failScene(QStringLiteral("cannot make the folder %1").arg(outDir));

    int status = 0;
    int written = 0;
    const auto& flows = document->flowModels();
    for (size_t f = 0; f < flows.size(); ++f) {
        const auto& screens = flows[f]->screenModels();
        for (size_t s = 0; s < screens.size(); ++s) {
            const QString path = QDir(outDir).filePath(
                QStringLiteral("flow%1-screen%2.png").arg(f + 1).arg(s + 1, 3, 10, QLatin1Char('0')));
            QGraphicsScene scene;
            ScreenScene::populate(scene, screens[s]);
            const QDeadlineTimer deadline(30000);
            // Settled twice in a row: a picture that just arrived may still start its cropping in the next turn.
            int settledTurns = 0;
            while (settledTurns < 2 && !deadline.hasExpired()) {
                QEventLoop turn;
                QTimer::singleShot(10, &turn, &QEventLoop::quit);
                turn.exec();
                settledTurns = picturesSettled(scene) ? settledTurns + 1 : 0;
            }
            const QImage image = ScreenScene::render(scene);
            if (image.isNull() || !ImageUtils::writeImage(image, path)) {
                std::fprintf(stderr, "render-screens: cannot draw or write %s\n", qPrintable(path));
                status = 2;
                continue;
            }
            std::printf("%s\n", qPrintable(path));
            ++written;
        }
    }
    if (written == 0 && status == 0)
        std::fprintf(stderr, "render-screens: the document has no screens\n");
    return status;
}
