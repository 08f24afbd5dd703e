// render-screens --scene DOCUMENT OUTDIR (render-screens hands these arguments, unchanged, to render-screens-scene)
//
// The render tool's scene mode: each screen of the document is drawn through a graphics scene of element views,
// as the editor's canvas and the player show it, instead of through the model's drawing. Output, file names and
// exit status are those of the plain mode; the two outputs of one document can be compared pixel for pixel.
// Pictures still being decoded or downloaded are waited for (up to 30 s per screen).

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QTimer>

#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"
#include "elements/views/ScreenScene.h"
#include "tessarine_data_model/tools/RenderScreensTool.h"

namespace {

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

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4 || arguments[1] != QLatin1String("--scene"))
        return RenderScreensTool::fail(QStringLiteral("usage: render-screens --scene DOCUMENT OUTDIR"));
    return RenderScreensTool::run(arguments[2], arguments[3], [](const std::shared_ptr<ZERI_FlowScreenModel>& screen) {
        QGraphicsScene scene;
        ScreenScene::populate(scene, screen);
        const QDeadlineTimer deadline(30000);
        // Settled twice in a row: a picture that just arrived may still start its cropping in the next turn.
        int settledTurns = 0;
        while (settledTurns < 2 && !deadline.hasExpired()) {
            QEventLoop turn;
            QTimer::singleShot(10, &turn, &QEventLoop::quit);
            turn.exec();
            settledTurns = picturesSettled(scene) ? settledTurns + 1 : 0;
        }
        return ScreenScene::render(scene);
    });
}
