#include "elements/views/ScreenScene.h"

#include <cmath>

#include <QGraphicsScene>
#include <QPainter>

#include "elements/images/ImageUtils.h"
#include "elements/views/QVR_MixedMediaElementGenerator.h"
#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

void ScreenScene::populate(QGraphicsScene& scene, const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (!screen)
        return;
    scene.setSceneRect(QRectF(QPointF(0, 0), screen->screenSize()));
    const QColor background = screen->backgroundColor();
    scene.setBackgroundBrush(background.isValid() ? background : QColor(Qt::white));
    qreal z = 0;
    for (const auto& proxy : screen->mixedMediaObjects()) {
        if (!proxy || !proxy->object())
            continue;
        QVR_VirtualMixedMediaElementView* view =
            QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(proxy);
        view->setFrame((*proxy)->frame());
        view->setZValue(z++);
        view->setPreviewMode(true);
        scene.addItem(view);
    }
}

QImage ScreenScene::render(QGraphicsScene& scene, double scale)
{
    const QRectF source = scene.sceneRect();
    if (!std::isfinite(scale) || scale <= 0 || source.isEmpty())
        return {};
    QImage target = ImageUtils::createCGBitmapContextWithWidth(quint64(std::ceil(source.width() * scale)),
                                                               quint64(std::ceil(source.height() * scale)));
    if (target.isNull())
        return {};
    QPainter painter(&target);
    scene.render(&painter, QRectF(QPointF(0, 0), source.size() * scale), source, Qt::IgnoreAspectRatio);
    painter.end();
    return target;
}
