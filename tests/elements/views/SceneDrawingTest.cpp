#include <gtest/gtest.h>

#include <QDir>
#include <QGraphicsScene>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "ElementViewTestSupport.h"
#include "elements/views/QVR_ShapeMixedMediaElementView.h"
#include "elements/views/ScreenScene.h"
#include "platform/Json.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// Eight shapes, one of each kind, at whole-point frames, some overlapping and some turned.
void addEightShapes(TestDocument& doc)
{
    const QColor colours[] = {QColor(200, 30, 30), QColor(30, 160, 40), QColor(20, 60, 200),     QColor(240, 200, 0),
                              QColor(120, 0, 160), QColor(0, 180, 180), QColor(90, 90, 90, 180), QColor(255, 120, 0)};
    for (int type = 1; type <= 8; ++type) {
        const QRectF frame(40 + (type - 1) % 4 * 240, 60 + (type - 1) / 4 * 330, 200 + type * 3, 150 + type * 7);
        auto object = doc.addObject(ZERI_MixedMediaObject::Shape, frame);
        auto shape = object->as<ZERI_MMObject_Shape>();
        shape->setShapeType(type);
        shape->setColor(colours[type - 1]);
        shape->setRotation(type % 4);
    }
    // One overlapping the others, to prove the stacking order.
    auto top = doc.addObject(ZERI_MixedMediaObject::Shape, QRectF(150, 120, 300, 400));
    top->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::RoundedRectangle);
    top->as<ZERI_MMObject_Shape>()->setColor(QColor(10, 10, 10, 120));
}

int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            count += p[column] != q[column];
    }
    return count;
}

} // namespace

TEST(SceneDrawing, ShapesThroughTheSceneMatchTheModelsDrawingPixelForPixel)
{
    TestDocument doc;
    doc.screen->setBackgroundColor(QColor(250, 240, 220));
    addEightShapes(doc);

    QGraphicsScene scene;
    ScreenScene::populate(scene, doc.screen);
    ASSERT_EQ(scene.items().size(), 9);
    const QImage throughScene = ScreenScene::render(scene);
    ASSERT_EQ(throughScene.size(), QSize(1024, 748));

    // The canvas and the model's drawing (previews, PDF pages) agree to the pixel, edges included.
    EXPECT_EQ(differingPixels(throughScene, ModelDrawing::renderScreen(*doc.screen)), 0);
}

TEST(SceneDrawing, RenderToolSceneModeWritesTheSameScreensAsTheModelMode)
{
    TestDocument doc;
    auto object = doc.addObject(ZERI_MixedMediaObject::Shape, QRectF(100, 100, 300, 200));
    object->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
    object->as<ZERI_MMObject_Shape>()->setColor(Qt::darkBlue);
    doc.screen->setBackgroundColor(QColor(255, 250, 200));
    // A picture from the package's asset folder, drawn by the image view in scene mode.
    QImage picture(120, 90, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(0, 0, 60, 45, Qt::red);
    const QString picturePath = QDir(doc.assetsPath()).filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(picture.save(picturePath));
    auto image = doc.addObject(ZERI_MixedMediaObject::Image, QRectF(500, 300, 120, 90));
    (*image)->setCroppedImageAsset(assetWithUrl(QUrl::fromLocalFile(picturePath)));
    QTemporaryDir out;
    // The tool reads a package folder: its "docfile.qvd" and its "assets".
    const QString json = doc.dir.path();
    ASSERT_TRUE(writeFile(QDir(json).filePath(QStringLiteral("docfile.qvd")), doc.document->jsonData()));

    QProcess model;
    model.start(QStringLiteral(TESS_RENDER_SCREENS_PATH), {json, out.filePath(QStringLiteral("model"))});
    ASSERT_TRUE(model.waitForFinished(60000));
    ASSERT_EQ(model.exitCode(), 0) << model.readAllStandardError().toStdString();
    QProcess sceneMode;
    sceneMode.start(QStringLiteral(TESS_RENDER_SCREENS_PATH),
                    {QStringLiteral("--scene"), json, out.filePath(QStringLiteral("scene"))});
    ASSERT_TRUE(sceneMode.waitForFinished(60000));
    ASSERT_EQ(sceneMode.exitCode(), 0) << sceneMode.readAllStandardError().toStdString();

    const QString name = QStringLiteral("flow1-screen001.png");
    const QImage fromModel(QDir(out.filePath(QStringLiteral("model"))).filePath(name));
    const QImage fromScene(QDir(out.filePath(QStringLiteral("scene"))).filePath(name));
    ASSERT_FALSE(fromScene.isNull()) << sceneMode.readAllStandardOutput().toStdString()
                                     << model.readAllStandardOutput().toStdString();
    EXPECT_EQ(differingPixels(fromModel, fromScene), 0);
    EXPECT_EQ(fromScene.pixelColor(200, 200), QColor(Qt::darkBlue));
    EXPECT_EQ(fromScene.pixelColor(510, 310), QColor(Qt::red));
    EXPECT_EQ(fromScene.pixelColor(610, 380), QColor(Qt::white));

    QProcess bad;
    bad.start(QStringLiteral(TESS_RENDER_SCREENS_PATH), {QStringLiteral("--scene"), json});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_EQ(bad.exitCode(), 1);
}
