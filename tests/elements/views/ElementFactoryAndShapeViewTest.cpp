#include <gtest/gtest.h>

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTest>

#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "elements/views/QVR_AudioMixedMediaElementView.h"
#include "elements/views/QVR_ImageMixedMediaElementView.h"
#include "elements/views/QVR_MixedMediaElementGenerator.h"
#include "elements/views/QVR_ShapeMixedMediaElementView.h"
#include "elements/views/QVR_VideoMixedMediaElementView.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

// An object reporting any type number, including those outside the model's table.
class AnyTypeObject : public ZERI_MixedMediaObject {
public:
    explicit AnyTypeObject(int type)
        : m_type(type)
    {
    }
    int type() const override { return m_type; }

private:
    int m_type;
};

std::shared_ptr<ZERI_MixedMediaObjectProxy> objectOfType(int type)
{
    auto object = std::make_shared<AnyTypeObject>(type);
    object->setFrame(QRectF(10, 20, 300, 200));
    return ZERI_MixedMediaObjectProxy::wrap(object);
}

// A shape view that counts its paintings.
class CountingShapeView : public QVR_ShapeMixedMediaElementView {
public:
    using QVR_ShapeMixedMediaElementView::QVR_ShapeMixedMediaElementView;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        ++paints;
        QVR_ShapeMixedMediaElementView::paint(painter, option, widget);
    }
    int paints = 0;
};

class CountingRectItem : public QGraphicsRectItem {
public:
    using QGraphicsRectItem::QGraphicsRectItem;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        ++paints;
        QGraphicsRectItem::paint(painter, option, widget);
    }
    int paints = 0;
};

} // namespace

TEST(ElementFactory, MapsEveryTypeToItsViewClass)
{
    const std::map<int, const char*> expected = {
        {0, "QVR_VirtualMixedMediaElementView"},        {1, "QVR_VideoMixedMediaElementView"},
        {2, "QVR_ImageMixedMediaElementView"},          {3, "QVR_ImageMixedMediaElementView"},
        {4, "QVR_AttributedTextMixedMediaElementView"}, {5, "QVR_VirtualMixedMediaElementView"},
        {6, "QVR_ImageMixedMediaElementView"},          {7, "QVR_ShapeMixedMediaElementView"},
        {8, "QVR_VirtualMixedMediaElementView"},        {9, "QVR_AudioMixedMediaElementView"},
        {10, "QVR_VirtualMixedMediaElementView"},       {-1, "QVR_VirtualMixedMediaElementView"},
    };
    for (const auto& [type, className] : expected) {
        const auto object = objectOfType(type);
        std::unique_ptr<QVR_VirtualMixedMediaElementView> view(
            QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(object));
        ASSERT_TRUE(view) << type;
        EXPECT_STREQ(view->metaObject()->className(), className) << "type " << type;
        // Views start at the origin with the object's size; placing them is the container's business.
        EXPECT_EQ(view->frame(), QRectF(0, 0, 300, 200)) << type;
        EXPECT_EQ(view->mixedMediaObject(), object);
        EXPECT_FALSE(view->isPreviewMode());
        EXPECT_EQ(view->acceptsFirstMouse(), type == 7 || type == 4) << type; // shapes and texts
    }
}

TEST(ElementFactory, MissingObjectGivesAnEmptyZeroFrameBaseView)
{
    std::unique_ptr<QVR_VirtualMixedMediaElementView> view(
        QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(nullptr));
    ASSERT_TRUE(view);
    EXPECT_STREQ(view->metaObject()->className(), "QVR_VirtualMixedMediaElementView");
    EXPECT_EQ(view->frame(), QRectF());
    EXPECT_EQ(view->mixedMediaObject(), nullptr);
}

TEST(ElementView, FrameAndPreviewModeAreTheContainersAndTheObjectIsHeldWeakly)
{
    auto object = objectOfType(2);
    std::unique_ptr<QVR_VirtualMixedMediaElementView> view(
        QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(object));
    view->setFrame(QRectF(5, 6, 50, 60));
    EXPECT_EQ(view->frame(), QRectF(5, 6, 50, 60));
    EXPECT_EQ(view->boundingRect(), QRectF(0, 0, 50, 60));
    view->setFrame(QRectF(0, 0, -5, 10)); // refused
    EXPECT_EQ(view->frame(), QRectF(5, 6, 50, 60));
    view->setPreviewMode(true);
    EXPECT_TRUE(view->isPreviewMode());
    // The model's own frame changes do not move the view.
    (*object)->setFrame(QRectF(100, 100, 10, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->frame().topLeft(), QPointF(5, 6));

    std::weak_ptr<ZERI_MixedMediaObjectProxy> weak = object;
    object.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(view->mixedMediaObject(), nullptr);
}

TEST(ShapeView, ColourBurstRepaintsOnceAndOtherKeysNotAtAll)
{
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    auto shape = object->as<ZERI_MMObject_Shape>();
    shape->setShapeType(ZERI_MMObject_Shape::Ellipse);
    shape->setColor(Qt::red);
    (*object)->setFrame(QRectF(0, 0, 100, 80));

    QGraphicsScene scene(0, 0, 400, 300);
    auto* view = new CountingShapeView(object);
    scene.addItem(view);
    // A sentinel far from the shape: once its repaint has happened, any repaint of the shape would have too.
    auto* sentinel = new CountingRectItem(300, 200, 20, 20);
    scene.addItem(sentinel);
    QGraphicsView canvas(&scene);
    canvas.resize(420, 320);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->paints > 0 && sentinel->paints > 0; }, 5000));
    const auto settle = [&] {
        const int before = sentinel->paints;
        sentinel->update();
        return QTest::qWaitFor([&] { return sentinel->paints > before; }, 5000);
    };
    ASSERT_TRUE(settle());
    view->paints = 0;

    for (const QColor& colour :
         {QColor(Qt::blue), QColor(Qt::green), QColor(Qt::yellow), QColor(Qt::cyan), QColor(Qt::magenta)})
        shape->setColor(colour);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->paints > 0; }, 5000));
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->paints, 1);

    view->paints = 0;
    (*object)->setFrame(QRectF(0, 0, 120, 90));
    shape->setRotation(1);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->paints, 0);

    // The painted pixels are the last colour, drawn without antialiasing: no blended edge pixels anywhere.
    const QImage shot = canvas.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint centre = canvas.mapFromScene(QPointF(50, 40));
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(Qt::magenta));
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) {
            const QRgb pixel = shot.pixel(canvas.mapFromScene(QPointF(x, y)));
            ASSERT_TRUE(pixel == QColor(Qt::magenta).rgb() || pixel == QColor(Qt::white).rgb())
                << x << "," << y << " " << QColor(pixel).name().toStdString();
        }
    }
}

TEST(ShapeView, StopsListeningWhenDestroyed)
{
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    {
        QVR_ShapeMixedMediaElementView view(object);
        EXPECT_TRUE(object->updateNotifier().hasObservers());
    }
    EXPECT_FALSE(object->updateNotifier().hasObservers());
    // A colour change after the view is gone reaches nobody.
    object->as<ZERI_MMObject_Shape>()->setColor(Qt::red);
    QCoreApplication::processEvents();
}
