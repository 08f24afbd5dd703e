// The thumbnail bar as the creator window holds it: its items, drags, menus, scrolling and keys.

#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRActionLog.h"
#include "app/QVRWindowManager.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "platform/UserDefaults.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;
using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;

namespace {

// Stands in for the content addition: two objects from a clipboard holding our own type join the screen as one
// step on the next turn; a failing run cancels its change.
class TwoObjectAddition : public CreatorContentAddition {
public:
    bool running = false;
    bool fail = false;
    QStringList supportedPasteboardTypes() const override { return {QVRThumbnailBar::kObjectPasteboardType}; }
    void addObjectsFromMimeData(const QMimeData* data, const std::shared_ptr<ZERI_FlowScreenModel>& screen, bool,
                                QWidget*, Done done) override
    {
        const bool ours = data && data->hasFormat(QVRThumbnailBar::kObjectPasteboardType);
        running = true;
        QTimer::singleShot(0, [this, ours, screen, done] {
            std::vector<Proxy> added;
            const auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>();
            if (ours && flow) {
                flow->beginUndoableChangesPagingToScreen(screen);
                for (int i = 0; i < 2; ++i) {
                    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
                    (*shape)->setFrame(QRectF(20 + 200 * i, 20, 100, 100));
                    screen->addMixedMediaObject(shape);
                    added.push_back(shape);
                }
                if (fail) {
                    flow->cancelUndoableChanges();
                    added.clear();
                } else {
                    flow->endUndoableChanges();
                }
            }
            running = false;
            done(added);
        });
    }
    bool isAddingContent(const std::shared_ptr<ZERI_TessarineModel>&) const override { return running; }
};

struct BarWindow {
    QTemporaryDir settings;
    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowModel> flow;
    QPointer<QVR_CreatorWindow> window;
    QVRThumbnailBar* bar = nullptr;

    explicit BarWindow(int screens)
        : document(makeDocument(screens))
        , flow(document->firstFlowmodel())
    {
        UserDefaults::setStoreFileForTesting(settings.filePath(QStringLiteral("defaults.conf")));
        registerCreatorLibrary();
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->launchTessarineWithTessarineModel(document);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        bar = window->theThumbnailBarView();
    }
    ~BarWindow()
    {
        delete window.data();
        CreatorContentAddition::registerAddition(nullptr);
        UserDefaults::setStoreFileForTesting(QString());
    }
    std::shared_ptr<ZERI_FlowScreenModel> screen(int i) const { return flow->screenModels()[std::size_t(i)]; }
    QStringList order() const
    {
        QStringList ids;
        for (const auto& s : flow->screenModels())
            ids << s->internalID();
        return ids;
    }
    QList<QWidget*> previews() const
    {
        QList<QWidget*> list;
        for (QVRThumbnailObject* object : window->thumbnailController()->screensArray())
            list.append(object->singleScreen());
        return list;
    }
    QVR_ThumbnailHoldingView* holdingView(int index) const
    {
        return static_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(index))->thumbnailHoldingView();
    }
    QPointF leftHalf(int index) const
    {
        const QRect frame = bar->frameForItemAtIndex(index);
        return QPointF(frame.left() + frame.width() / 4.0, frame.center().y());
    }
    QPointF rightHalf(int index) const
    {
        const QRect frame = bar->frameForItemAtIndex(index);
        return QPointF(frame.left() + frame.width() * 3 / 4.0, frame.center().y());
    }
    // A drag move then, when asked, the drop; whether each was accepted.
    std::pair<bool, bool> drag(const QMimeData& mime, QPointF at, bool drop) const
    {
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(bar, &enter);
        QDragMoveEvent move(at.toPoint(), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(bar, &move);
        bool dropped = false;
        if (drop) {
            QDropEvent event(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(bar, &event);
            dropped = event.isAccepted();
        }
        return {move.isAccepted(), dropped};
    }
};

} // namespace

TEST(CreatorWindowThumbnailBar, NumberedItemsTheLastSeparatorAndTheAddItemAskingTheCanvas)
{
    BarWindow w(5);
    ASSERT_EQ(w.bar->count(), 6);
    EXPECT_TRUE(w.bar->lastObjectIsAddScreen());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.holdingView(i)->screenNumberLabel()->text(), QString::number(i + 1));
    // Only the last screen's separator is dark: black at 0.4 over the separators' grey.
    const QImage picture = w.bar->grab().toImage();
    const auto separator = [&](int i) {
        const QRect frame = w.bar->frameForItemAtIndex(i);
        return picture.pixelColor(frame.right(), frame.center().y()).red();
    };
    // The first item is selected and wears the selected look; the others show their separators.
    ASSERT_EQ(w.bar->currentIndex(), 0);
    for (int i = 2; i < 4; ++i)
        EXPECT_EQ(separator(i), separator(1)) << "item " << i;
    EXPECT_NEAR(separator(4), separator(1) * 0.6, 1.0);

    w.window->setCurrentIndex(2);
    auto* button = w.holdingView(5)->findChild<QPushButton*>();
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(w.bar->currentIndex(), 2);
    QVR_CreatorCanvasView* canvas = w.window->theCanvasView();
    EXPECT_EQ(canvas->addScreenPopoverPosition(), 16);
    const QRect item = w.bar->frameForItemAtIndex(5);
    EXPECT_EQ(canvas->addScreenAnchorRect(), QRect(w.bar->mapTo(w.window, item.topLeft()), item.size()));
    ASSERT_TRUE(canvas->addScreenPopover());
    EXPECT_TRUE(canvas->shield()) << "the popover sits over the canvas's shield";
    // A second click closes it.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(canvas->addScreenPopover());
    EXPECT_FALSE(canvas->shield());
}

TEST(CreatorWindowThumbnailBar, PreviewsSurviveReorderDeleteAndUndo)
{
    BarWindow w(5);
    const QList<QWidget*> before = w.previews();
    const int made = w.window->thumbnailController()->previewsMade();
    w.flow->beginUndoableChanges();
    w.flow->sendFlowScreenAtIndex(1, 3);
    w.flow->endUndoableChanges();
    w.flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    w.window->setCurrentIndex(0);
    ASSERT_TRUE(QVRWindowManager::sharedInstance().performMenuAction("deleteScreen", 0));
    ASSERT_TRUE(QVRWindowManager::sharedInstance().performMenuAction("undo", 0));
    QApplication::processEvents();
    ASSERT_EQ(w.flow->screenModels().size(), 5u);
    const QList<QWidget*> after = w.previews();
    int reused = 0;
    for (QWidget* preview : after)
        reused += before.contains(preview) ? 1 : 0;
    EXPECT_GE(reused, 4);
    EXPECT_LE(w.window->thumbnailController()->previewsMade() - made, 1) << "only the restored screen may need one";
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.window->thumbnailController()->screensArray()[i]->screenModel(), w.screen(i));
}

TEST(CreatorWindowThumbnailBar, AReorderIsOneLoggedStepAndRefusedDropsChangeNothing)
{
    CapturedActionLog log;
    BarWindow w(5);
    const QStringList original = w.order();
    const int steps = w.flow->undoManager().undoCount();
    for (const QPointF& point : {w.leftHalf(2), w.rightHalf(1), w.rightHalf(5)}) {
        std::unique_ptr<QMimeData> mime(w.bar->writeItemsAtIndexes({1}));
        EXPECT_FALSE(w.drag(*mime, point, true).second) << point.x();
    }
    QVRThumbnailBar other;
    std::unique_ptr<QMimeData> foreign(other.writeItemsAtIndexes({1}));
    EXPECT_FALSE(w.drag(*foreign, w.leftHalf(4), true).second);
    EXPECT_EQ(w.order(), original);

    std::unique_ptr<QMimeData> mime(w.bar->writeItemsAtIndexes({1}));
    const auto [moved, dropped] = w.drag(*mime, w.leftHalf(4), true);
    EXPECT_TRUE(moved);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(w.order(), (QStringList{"S0", "S2", "S3", "S1", "S4"}));
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);
    const QJsonObject logged = log.last("Rearrange Screens");
    EXPECT_EQ(logged.value("ScreenID").toString(), "S1");
    EXPECT_EQ(logged.value("move").toString(), "From:1 To:3");
    EXPECT_EQ(w.window->artboards()[3]->screenModel(), w.screen(3));
    ASSERT_TRUE(QVRWindowManager::sharedInstance().performMenuAction("undo", 0));
    EXPECT_EQ(w.order(), original);
}

TEST(CreatorWindowThumbnailBar, ObjectsDroppedOnAnItemJoinThatScreenThroughTheAddition)
{
    BarWindow w(5);
    auto addition = std::make_shared<TwoObjectAddition>();
    QMimeData dragged;
    dragged.setData(QVRThumbnailBar::kObjectPasteboardType, "[]");
    auto* clipboard = new QMimeData;
    clipboard->setData(QVRThumbnailBar::kObjectPasteboardType, "[]");
    QGuiApplication::clipboard()->setMimeData(clipboard);
    w.window->setCurrentIndex(0);
    const int steps = w.flow->undoManager().undoCount();

    // No addition registered: refused quietly, nothing changes.
    w.drag(dragged, w.leftHalf(2), true);
    QApplication::processEvents();
    EXPECT_TRUE(w.screen(2)->mixedMediaObjects().empty());

    CreatorContentAddition::registerAddition(addition);
    EXPECT_TRUE(w.drag(dragged, w.leftHalf(2), true).second);
    // While it runs, the menu, drags and further drops start nothing.
    EXPECT_TRUE(w.window->isAddingContent());
    EXPECT_EQ(std::unique_ptr<QMenu>(w.window->thumbnailController()->screensArray()[1]->makeContextMenu()), nullptr);
    EXPECT_FALSE(w.bar->canDragItemsAtIndexes({1}));
    EXPECT_FALSE(w.drag(dragged, w.leftHalf(3), true).second);
    QApplication::processEvents();
    EXPECT_FALSE(w.window->isAddingContent());
    EXPECT_EQ(w.screen(2)->mixedMediaObjects().size(), 2u);
    EXPECT_TRUE(w.screen(0)->mixedMediaObjects().empty());
    EXPECT_TRUE(w.screen(3)->mixedMediaObjects().empty());
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);

    addition->fail = true;
    EXPECT_TRUE(w.drag(dragged, w.leftHalf(4), true).second);
    QApplication::processEvents();
    EXPECT_TRUE(w.screen(4)->mixedMediaObjects().empty());
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);
    EXPECT_FALSE(w.flow->currentUndoableAction());
    QGuiApplication::clipboard()->clear();
}

TEST(CreatorWindowThumbnailBar, TheItemMenuDeletesAndDuplicatesAsOneStepEach)
{
    CapturedActionLog log;
    BarWindow w(5);
    const int steps = w.flow->undoManager().undoCount();
    std::unique_ptr<QMenu> menu(w.window->thumbnailController()->screensArray()[3]->makeContextMenu());
    ASSERT_TRUE(menu);
    menu->actions()[0]->trigger();
    QApplication::processEvents();
    EXPECT_EQ(w.order(), (QStringList{"S0", "S1", "S2", "S4"}));
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 1);
    EXPECT_EQ(log.last("Deleted Screen").value("ScreenID").toString(), "S3");
    EXPECT_EQ(log.last("Deleted Screen").value("Deleted From").toString(), "Thumbnail Bar");
    EXPECT_EQ(w.window->artboards().size(), 4u);

    std::unique_ptr<QMenu> second(w.window->thumbnailController()->screensArray()[3]->makeContextMenu());
    second->actions()[1]->trigger();
    QApplication::processEvents();
    ASSERT_EQ(w.flow->screenModels().size(), 5u);
    EXPECT_FALSE(QStringList({"S0", "S1", "S2", "S4"}).contains(w.screen(4)->internalID()));
    EXPECT_EQ(w.flow->undoManager().undoCount(), steps + 2);
    EXPECT_EQ(log.last("Duplicated Screen").value("action_value").toString(), "Thumbnail Bar");
    EXPECT_EQ(w.window->artboards().size(), 5u);
}

TEST(CreatorWindowThumbnailBar, RapidSelectionsScrollOnceAndCentreTheLast)
{
    BarWindow w(40);
    auto* area = qobject_cast<QScrollArea*>(w.bar->parentWidget()->parentWidget());
    ASSERT_TRUE(area);
    QScrollBar* scroll = area->horizontalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    QApplication::processEvents();
    int changes = 0;
    QObject::connect(scroll, &QScrollBar::valueChanged, [&] { ++changes; });
    for (int index : {30, 5, 12, 20, 25}) {
        w.bar->setSelectionIndexes({index});
        QTest::qWait(50);
    }
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 1000));
    const qint64 started = clock.elapsed();
    EXPECT_GE(started, 200);
    EXPECT_LE(started, 400);
    EXPECT_EQ(w.window->currentIndex(), 25) << "the canvas shows the selected screen";
    const QRect frame = w.bar->frameForItemAtIndex(25);
    const int target = frame.center().x() - area->viewport()->width() / 2;
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(scroll->value() - target) <= 1; }, 2000)) << scroll->value();
}

TEST(CreatorWindowThumbnailBar, RightSelectsTheNextScreenUnlessAnObjectIsSelected)
{
    BarWindow w(5);
    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    (*shape)->setFrame(QRectF(100, 100, 100, 100));
    w.screen(1)->addMixedMediaObject(shape);
    w.screen(1)->updateNotifier().sendUpdateNotificationsIfNeeded();
    w.window->setCurrentIndex(0);
    w.bar->setFocus();
    QApplication::processEvents();
    QTest::keyClick(w.bar, Qt::Key_Right);
    EXPECT_EQ(w.bar->currentIndex(), 1);
    EXPECT_EQ(w.window->currentIndex(), 1);

    // From the canvas as from the strip; the keyboard and its ring go on to the canvas of the screen shown.
    const auto canvas = [&] { return w.window->theArtBoard()->theScrollView(); };
    canvas()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(canvas(), Qt::Key_Right);
    EXPECT_EQ(w.window->currentIndex(), 2);
    EXPECT_TRUE(canvas()->hasFocus());
    const auto ringShown = [&] {
        QApplication::processEvents();
        const QColor edge = canvas()->viewport()->grab().toImage().pixel(1, 40);
        return edge.blue() > 150 && edge.red() < 150;
    };
    EXPECT_TRUE(ringShown());
    QTest::keyClick(canvas(), Qt::Key_Left);
    EXPECT_EQ(w.window->currentIndex(), 1);
    w.bar->setFocus();

    QVR_CreatorSingleScreen* single = w.window->currentlyDisplayedSingleScreen();
    single->buildMixedMediaObjectViews();
    single->setSelectionsForMixedMediaObjects({shape});
    ASSERT_TRUE(w.window->hasSelectedObjects());
    QTest::keyClick(w.bar, Qt::Key_Right);
    EXPECT_EQ(w.bar->currentIndex(), 1) << "the selected object moves instead";
    EXPECT_EQ((*shape)->frame(), QRectF(101, 100, 100, 100));

    // The ring comes back with the keyboard after a sheet (another window) or a menu had it.
    canvas()->setFocus(Qt::TabFocusReason);
    for (Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(canvas(), &out);
        QFocusEvent in(QEvent::FocusIn, reason);
        QApplication::sendEvent(canvas(), &in);
        EXPECT_TRUE(ringShown()) << reason;
    }
}
