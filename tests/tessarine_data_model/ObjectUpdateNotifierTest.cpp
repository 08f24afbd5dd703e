#include <QObject>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

struct Recorder {
    int calls = 0;
    QSet<QString> keys;
    const void* tracked = nullptr;
    ObjectUpdateBlock block()
    {
        return [this](const void* object, const QSet<QString>& changed) {
            ++calls;
            keys = changed;
            tracked = object;
        };
    }
};

} // namespace

TEST(ObjectUpdateNotifier, ChangesOfOneTurnArriveOnceWithEveryChangedKey)
{
    auto screen = ZERI_FlowScreenModel::create();
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    screen->addMixedMediaObject(object);
    drainEvents();

    Recorder frameObserver;
    Recorder colorObserver;
    auto frameToken = object->updateNotifier().addObservationBlock(frameObserver.block(), "frame");
    auto colorToken = object->updateNotifier().addObservationBlock(colorObserver.block(), "color");

    (*object)->setFrame(QRectF(0, 0, 10, 10));
    (*object)->setFrame(QRectF(1, 0, 10, 10));
    (*object)->setFrame(QRectF(2, 0, 10, 10));
    (*object)->setZoomScale(0.5);
    EXPECT_EQ(frameObserver.calls, 0) << "delivery waits for the end of the turn";

    ASSERT_TRUE(spinUntil([&] { return frameObserver.calls > 0; }));
    drainEvents();
    EXPECT_EQ(frameObserver.calls, 1);
    EXPECT_EQ(frameObserver.keys, QSet<QString>({"frame", "zoomScale"}));
    EXPECT_EQ(frameObserver.tracked, object.get());
    EXPECT_EQ(colorObserver.calls, 0);
    EXPECT_TRUE(screen->previewInvalidated());

    object->updateNotifier().removeUpdateObserver(frameToken);
    (*object)->setFrame(QRectF(3, 0, 10, 10));
    drainEvents();
    EXPECT_EQ(frameObserver.calls, 1);
    EXPECT_FALSE(frameToken.isActive());
    EXPECT_TRUE(colorToken.isActive());
}

TEST(ObjectUpdateNotifier, ObservationSurvivesTheObjectChangingTypeInPlace)
{
    auto screen = ZERI_FlowScreenModel::create();
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::None);
    screen->addMixedMediaObject(object);
    (*object)->setFrame(QRectF(5, 5, 50, 50));
    const QString id = (*object)->internalID();

    Recorder observer;
    auto token = (*object)->updateNotifier().addObservationBlock(observer.block(), QStringList{"frame", "type"});
    ASSERT_TRUE(object->changeType(ZERI_MixedMediaObject::Image));
    ASSERT_TRUE(spinUntil([&] { return observer.calls > 0; }));
    EXPECT_TRUE(observer.keys.contains("type"));

    ASSERT_TRUE(object->as<ZERI_MMObject_Image>());
    EXPECT_EQ((*object)->internalID(), id);
    EXPECT_EQ((*object)->frame(), QRectF(5, 5, 50, 50));
    EXPECT_EQ((*object)->parent(), screen);
    EXPECT_EQ(screen->mixedMediaObjects().front(), object);

    observer.calls = 0;
    (*object)->setFrame(QRectF(6, 6, 50, 50));
    ASSERT_TRUE(spinUntil([&] { return observer.calls > 0; }));
    EXPECT_EQ(observer.keys, QSet<QString>({"frame"}));
    EXPECT_FALSE(object->changeType(8)) << "8 is the insert menu's streaming video, not an object type";
}

TEST(ObjectUpdateNotifier, AnyKeyObserversRemovalDuringDeliveryAndEarlySending)
{
    ObjectUpdateNotifier notifier;
    Recorder any;
    auto anyToken = notifier.addObservationBlock(any.block());
    ObjectUpdateNotifierObserver second;
    int secondCalls = 0;
    // The first observer removes the second during a delivery: the second must not be called in it.
    auto remover = notifier.addObservationBlock([&](const void*, const QSet<QString>&) { second.reset(); }, "x");
    second = notifier.addObservationBlock([&](const void*, const QSet<QString>&) { ++secondCalls; }, "x");

    notifier.reportChange("x");
    notifier.reportChange("y");
    notifier.sendUpdateNotificationsIfNeeded();
    EXPECT_EQ(any.calls, 1);
    EXPECT_EQ(any.keys, QSet<QString>({"x", "y"}));
    EXPECT_EQ(secondCalls, 0);
    drainEvents();
    EXPECT_EQ(any.calls, 1) << "changes sent early are not sent again at the end of the turn";

    {
        // A token that outlives its notifier is harmless.
        auto orphan = std::make_unique<ObjectUpdateNotifier>();
        auto token = orphan->addObservationBlock(any.block(), "z");
        orphan.reset();
        token.reset();
    }
}

namespace {
class Thumbnails : public QObject {
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
public:
    int currentIndex() const { return m_index; }
    void setCurrentIndex(int index)
    {
        m_index = index;
        emit currentIndexChanged(index);
    }
signals:
    void currentIndexChanged(int index);

private:
    int m_index = 0;
};
} // namespace

TEST(ObjectUpdateNotifier, TracksTheNotifyingPropertiesOfAPlainObject)
{
    Thumbnails thumbnails;
    ObjectUpdateNotifier notifier(&thumbnails);
    Recorder observer;
    auto token = notifier.addObservationBlock(observer.block(), "currentIndex");
    notifier.startObservingTrackedObject();
    thumbnails.setCurrentIndex(3);
    thumbnails.setCurrentIndex(4);
    ASSERT_TRUE(spinUntil([&] { return observer.calls > 0; }));
    drainEvents();
    EXPECT_EQ(observer.calls, 1);
    EXPECT_EQ(observer.tracked, &thumbnails);

    notifier.stopObservingTrackedObject();
    thumbnails.setCurrentIndex(5);
    drainEvents();
    EXPECT_EQ(observer.calls, 1);
}

#include "ObjectUpdateNotifierTest.moc"
