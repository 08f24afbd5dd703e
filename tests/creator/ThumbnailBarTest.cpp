#include <algorithm>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QDragMoveEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "CreatorTestSupport.h"
#include "app/QVRActionLog.h"
#include "creator/thumbnails/PasteboardFriendlyIndexSet.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailBarHost.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace creator_test;

namespace {

// A plain editing window standing in for the creator: the bar in its scroll area, refilled from the flow's
// screens on every change, and a fake canvas that records what the bar asks of it.
class HostWindow : public QWidget, public QVRThumbnailBarHost {
public:
    explicit HostWindow(int screens)
        : document(makeDocument(screens))
        , flow(document->firstFlowmodel())
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        scrollArea = new QScrollArea(this);
        scrollArea->setWidgetResizable(false);
        scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scrollArea->setFrameShape(QFrame::NoFrame);
        bar = new QVRThumbnailBar;
        scrollArea->setWidget(bar);
        layout->addWidget(scrollArea);
        controller = new QVRThumbnailController(this);
        controller->setItemSetup(
            [this](QVRThumbnailObject* object) { object->enableRightClicks([this] { return !addingContent; }); });
        controller->setCollectionView(bar);
        controller->addAddScreenItem();
        controller->showScreens(flow->screenModels());
        observer = flow->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) { controller->showScreens(flow->screenModels()); },
            QStringLiteral("screenModels"));
        resize(800, 140);
    }
    ~HostWindow() override { flow->updateNotifier().removeUpdateObserver(observer); }

    std::shared_ptr<ZERI_FlowModel> thumbnailBarFlow() const override { return flow; }
    bool hasSelectedObjects() const override { return selectedObjects; }
    bool hasChildWindows() const override { return false; }
    void removeAllSelectedViews() override { ++selectionClears; }
    void beginAddNewScreenSelection(const QRect& rect, int position) override
    {
        popoverRect = rect;
        popoverPosition = position;
    }
    bool isAddingContent() const override { return addingContent; }
    void addObjectsFromClipboardToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                         std::function<void()> done) override
    {
        additionTargets.push_back(screen);
        done();
    }

    std::shared_ptr<ZERI_FlowScreenModel> screen(int index) const { return flow->screenModels()[std::size_t(index)]; }
    QStringList order() const
    {
        QStringList ids;
        for (const auto& screen : flow->screenModels())
            ids.append(screen->internalID());
        return ids;
    }
    QList<QWidget*> previews() const
    {
        QList<QWidget*> list;
        for (QVRThumbnailObject* object : controller->screensArray())
            list.append(object->singleScreen());
        return list;
    }
    QVR_ThumbnailHoldingView* holdingView(int index) const
    {
        return static_cast<QVR_ThumbnailCollectionViewItem*>(bar->itemAtIndex(index))->thumbnailHoldingView();
    }

    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowModel> flow;
    QScrollArea* scrollArea = nullptr;
    QVRThumbnailBar* bar = nullptr;
    QVRThumbnailController* controller = nullptr;
    ObjectUpdateNotifierObserver observer;
    bool selectedObjects = false;
    bool addingContent = false;
    int selectionClears = 0;
    QRect popoverRect;
    int popoverPosition = 0;
    std::vector<std::shared_ptr<ZERI_FlowScreenModel>> additionTargets;
    QList<int> keysSeen;

protected:
    void keyPressEvent(QKeyEvent* event) override { keysSeen.append(event->key()); }
};

QPointF leftHalf(const QVRThumbnailBar& bar, int index)
{
    const QRect frame = bar.frameForItemAtIndex(index);
    return QPointF(frame.left() + frame.width() / 4.0, frame.center().y());
}

QPointF rightHalf(const QVRThumbnailBar& bar, int index)
{
    const QRect frame = bar.frameForItemAtIndex(index);
    return QPointF(frame.left() + frame.width() * 3 / 4.0, frame.center().y());
}

// Sends a drag move and then, when asked, the drop at the same point; returns whether the bar took the drop.
struct DragResult {
    bool moveAccepted = false;
    bool dropAccepted = false;
};
DragResult dragOver(QVRThumbnailBar& bar, const QMimeData& mime, QPointF at, bool drop)
{
    DragResult result;
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
    result.moveAccepted = move.isAccepted();
    if (drop) {
        QDropEvent dropEvent(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&bar, &dropEvent);
        result.dropAccepted = dropEvent.isAccepted();
    }
    return result;
}

TEST(ThumbnailBarItems, NumbersSeparatorAndTheAddItem)
{
    HostWindow host(5);
    host.show();
    QApplication::processEvents();
    ASSERT_EQ(host.bar->count(), 6);
    EXPECT_TRUE(host.bar->lastObjectIsAddScreen());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(host.holdingView(i)->screenNumberLabel()->text(), QString::number(i + 1));
    EXPECT_TRUE(host.holdingView(5)->screenNumberLabel()->text().isEmpty());

    // Only the last screen's separator is dark: black at 0.4 over the bar's grey.
    const QImage picture = host.bar->grab().toImage();
    for (int i = 0; i < 5; ++i) {
        const QRect frame = host.bar->frameForItemAtIndex(i);
        const QColor pixel = picture.pixelColor(frame.right(), frame.center().y());
        if (i == 4)
            EXPECT_EQ(pixel.red(), 36) << "item " << i;
        else
            EXPECT_EQ(pixel.red(), 60) << "item " << i;
    }

    // Clicking the add item keeps the selection and asks for the chooser at the item, position 16.
    host.bar->setSelectionIndexes({2});
    auto* button = host.holdingView(5)->findChild<QPushButton*>();
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(host.bar->currentIndex(), 2);
    EXPECT_EQ(host.popoverPosition, 16);
    EXPECT_EQ(host.popoverRect, QRect(host.bar->mapTo(&host, host.bar->frameForItemAtIndex(5).topLeft()),
                                      host.bar->frameForItemAtIndex(5).size()));
    // Selecting the add item alone is ignored.
    host.bar->setSelectionIndexes({5});
    EXPECT_EQ(host.bar->currentIndex(), 2);
}

TEST(ThumbnailBarItems, PreviewsSurviveReorderDeleteAndUndo)
{
    HostWindow host(5);
    host.show();
    const QList<QWidget*> before = host.previews();
    const int made = host.controller->previewsMade();
    host.bar->setSelectionIndexes({1});
    QPointer<QWidget> deletedPreview = before[3];

    host.flow->sendFlowScreenAtIndex(1, 3);
    QApplication::processEvents();
    EXPECT_EQ(host.bar->currentIndex(), 3) << "the selection follows its screen";
    host.controller->screensArray()[0]->deleteScreen();
    QApplication::processEvents();
    EXPECT_TRUE(deletedPreview) << "the deleted screen was not the first one";
    ASSERT_EQ(host.flow->screenModels().size(), 4u);
    ASSERT_TRUE(host.flow->undoManager().undo());
    QApplication::processEvents();

    ASSERT_EQ(host.flow->screenModels().size(), 5u);
    const QList<QWidget*> after = host.previews();
    // Every screen that stayed kept its very widget; only the restored screen may need a new one.
    int reused = 0;
    for (QWidget* preview : after)
        reused += before.contains(preview) ? 1 : 0;
    EXPECT_GE(reused, 4);
    EXPECT_LE(host.controller->previewsMade() - made, 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(host.controller->screensArray()[i]->screenModel(), host.screen(i));
        EXPECT_EQ(host.holdingView(i)->screenNumberLabel()->text(), QString::number(i + 1));
        EXPECT_TRUE(after[i]->isVisible());
    }
}

TEST(ThumbnailBarReorder, DropBeforeItemMovesTheScreenInOneStep)
{
    CapturedActionLog captured;
    HostWindow host(5);
    host.show();
    const QStringList original = host.order();
    const int steps = host.flow->undoManager().undoCount();
    std::unique_ptr<QMimeData> mime(host.bar->writeItemsAtIndexes({1}));
    ASSERT_TRUE(mime);

    const DragResult hover = dragOver(*host.bar, *mime, leftHalf(*host.bar, 4), false);
    EXPECT_TRUE(hover.moveAccepted);
    QWidget* indicator = host.bar->dropIndicator();
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_EQ(indicator->geometry(), QRect(host.bar->frameForItemAtIndex(4).left(), 0, 2, host.bar->height()));
    EXPECT_EQ(indicator->palette().color(QPalette::Window).rgb(), QColor(0x1F70A8).rgb());

    const DragResult dropped = dragOver(*host.bar, *mime, leftHalf(*host.bar, 4), true);
    EXPECT_TRUE(dropped.dropAccepted);
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_EQ(host.order(), (QStringList{"S0", "S2", "S3", "S1", "S4"}));
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps + 1);
    EXPECT_TRUE(host.bar->draggingIndexes().isEmpty());
    const QJsonObject logged = captured.last("Rearrange Screens");
    EXPECT_EQ(logged.value("ScreenID").toString(), "S1");
    EXPECT_EQ(logged.value("move").toString(), "From:1 To:3");

    ASSERT_TRUE(host.flow->undoManager().undo());
    EXPECT_EQ(host.order(), original);
}

TEST(ThumbnailBarReorder, DropsThatMoveNothingOrComeFromElsewhereAreRefused)
{
    HostWindow host(5);
    host.show();
    const QStringList original = host.order();
    const int steps = host.flow->undoManager().undoCount();

    // Next to the dragged item, past the add item, over no item.
    for (const QPointF& point : {leftHalf(*host.bar, 2), rightHalf(*host.bar, 1), rightHalf(*host.bar, 5),
                                 QPointF(host.bar->frameForItemAtIndex(5).right() + 20, 10), QPointF(-5, 10)}) {
        std::unique_ptr<QMimeData> mime(host.bar->writeItemsAtIndexes({1}));
        const DragResult result = dragOver(*host.bar, *mime, point, true);
        EXPECT_FALSE(result.moveAccepted) << point.x();
        EXPECT_FALSE(result.dropAccepted) << point.x();
        EXPECT_FALSE(host.bar->dropIndicator()->isVisible());
    }
    EXPECT_EQ(host.order(), original);

    // Another bar's drag, and a drop after this bar's drag has ended.
    QVRThumbnailBar other;
    std::unique_ptr<QMimeData> foreign(other.writeItemsAtIndexes({1}));
    std::unique_ptr<QMimeData> own(host.bar->writeItemsAtIndexes({1})); // this bar's drag, at the same time
    EXPECT_FALSE(dragOver(*host.bar, *foreign, leftHalf(*host.bar, 4), true).dropAccepted);
    std::unique_ptr<QMimeData> stale(host.bar->writeItemsAtIndexes({1}));
    host.bar->draggingEnded();
    EXPECT_FALSE(dragOver(*host.bar, *stale, leftHalf(*host.bar, 4), true).dropAccepted);

    // The screens changing during the drag: the dragged item is not the dragged screen any more.
    std::unique_ptr<QMimeData> changed(host.bar->writeItemsAtIndexes({1}));
    host.flow->removeFlowScreen(host.screen(1));
    QApplication::processEvents();
    const QStringList shrunk = host.order();
    EXPECT_FALSE(dragOver(*host.bar, *changed, leftHalf(*host.bar, 4), true).dropAccepted);
    EXPECT_EQ(host.order(), shrunk);
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps);
}

TEST(ThumbnailBarReorder, JustBeforeTheAddItemTheScreenBecomesLast)
{
    HostWindow host(5);
    host.show();
    std::unique_ptr<QMimeData> mime(host.bar->writeItemsAtIndexes({0}));
    EXPECT_TRUE(dragOver(*host.bar, *mime, leftHalf(*host.bar, 5), true).dropAccepted);
    EXPECT_EQ(host.order(), (QStringList{"S1", "S2", "S3", "S4", "S0"}));
}

TEST(ThumbnailBarObjects, DropAddsToThatScreenThroughTheAdditionOnly)
{
    HostWindow host(5);
    host.show();
    host.bar->setSelectionIndexes({0});
    auto* clipboardData = new QMimeData;
    clipboardData->setData(QVRThumbnailBar::kObjectPasteboardType, "[]");
    QGuiApplication::clipboard()->setMimeData(clipboardData);
    QMimeData dragged;
    dragged.setData(QVRThumbnailBar::kObjectPasteboardType, "[]");
    const int steps = host.flow->undoManager().undoCount();

    EXPECT_TRUE(dragOver(*host.bar, dragged, leftHalf(*host.bar, 2), true).dropAccepted);
    ASSERT_EQ(host.additionTargets.size(), 1u);
    EXPECT_EQ(host.additionTargets[0], host.screen(2));
    // The bar adds no undo step of its own around the addition.
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps);

    // On the add item, outside the items, or while an addition runs: nothing.
    EXPECT_FALSE(dragOver(*host.bar, dragged, leftHalf(*host.bar, 5), true).dropAccepted);
    EXPECT_FALSE(dragOver(*host.bar, dragged, QPointF(-3, 10), true).dropAccepted);
    host.addingContent = true;
    EXPECT_FALSE(dragOver(*host.bar, dragged, leftHalf(*host.bar, 3), true).dropAccepted);
    EXPECT_FALSE(host.bar->canDragItemsAtIndexes({1}));
    EXPECT_EQ(std::unique_ptr<QMenu>(host.controller->screensArray()[1]->makeContextMenu()), nullptr);
    host.addingContent = false;

    // Without the objects on the clipboard.
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(dragOver(*host.bar, dragged, leftHalf(*host.bar, 3), true).dropAccepted);
    EXPECT_EQ(host.additionTargets.size(), 1u);

    // A bar outside an editing window refuses object drops and reorders alike.
    QVRThumbnailController controller;
    QVRThumbnailBar lone;
    controller.setCollectionView(&lone);
    controller.showScreens(host.flow->screenModels());
    std::unique_ptr<QMimeData> own(lone.writeItemsAtIndexes({0}));
    EXPECT_FALSE(dragOver(lone, *own, leftHalf(lone, 3), true).dropAccepted);
    EXPECT_EQ(host.order(), (QStringList{"S0", "S1", "S2", "S3", "S4"}));
}

TEST(ThumbnailBarMenu, DeleteAndDuplicateAreOneStepEachAndLogged)
{
    CapturedActionLog captured;
    HostWindow host(5);
    host.show();
    const int steps = host.flow->undoManager().undoCount();

    std::unique_ptr<QMenu> menu(host.controller->screensArray()[3]->makeContextMenu());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 2);
    menu->actions()[0]->trigger();
    QApplication::processEvents();
    EXPECT_EQ(host.order(), (QStringList{"S0", "S1", "S2", "S4"}));
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps + 1);
    QJsonObject logged = captured.last("Deleted Screen");
    EXPECT_EQ(logged.value("ScreenID").toString(), "S3");
    EXPECT_EQ(logged.value("Deleted From").toString(), "Thumbnail Bar");
    EXPECT_EQ(host.bar->count(), 5);

    std::unique_ptr<QMenu> second(host.controller->screensArray()[3]->makeContextMenu());
    second->actions()[1]->trigger();
    QApplication::processEvents();
    ASSERT_EQ(host.flow->screenModels().size(), 5u);
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps + 2);
    const auto copy = host.screen(4);
    EXPECT_NE(copy->internalID(), "S4");
    EXPECT_FALSE(host.order().mid(0, 4).contains(copy->internalID()));
    logged = captured.last("Duplicated Screen");
    EXPECT_EQ(logged.value("ScreenID").toString(), "S4");
    EXPECT_EQ(logged.value("action_value").toString(), "Thumbnail Bar");
    EXPECT_EQ(host.holdingView(4)->screenNumberLabel()->text(), "5");

    // A screen outside any flow: logged, nothing changes, no crash.
    auto loose = ZERI_FlowScreenModel::create();
    QVRThumbnailObject object(new TessarineBackgroundedScreenPreview(QRect(0, 0, 40, 30), loose));
    object.deleteScreen();
    object.duplicateScreen();
    EXPECT_EQ(host.flow->undoManager().undoCount(), steps + 2);
}

TEST(ThumbnailBarSelection, RapidSelectionsScrollOnceToTheLast)
{
    HostWindow host(40);
    host.show();
    QApplication::processEvents();
    QScrollBar* scroll = host.scrollArea->horizontalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    // The clock runs from the last selection; the scroll may start late on a busy machine, never early.
    QElapsedTimer sinceLast;
    QList<int> values;
    qint64 started = -1;
    QObject::connect(scroll, &QScrollBar::valueChanged, [&](int value) {
        if (values.isEmpty())
            started = sinceLast.elapsed();
        values.append(value);
    });
    for (int index : {30, 5, 12, 20, 25}) {
        host.bar->setSelectionIndexes({index});
        sinceLast.start();
        QTest::qWait(20);
    }
    EXPECT_TRUE(values.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !values.isEmpty(); }, 5000));
    // A coarse timer may fire up to 5% before its interval.
    EXPECT_GE(started, QVRThumbnailBar::kScrollDelayMilliseconds * 95 / 100);
    const QRect frame = host.bar->frameForItemAtIndex(25);
    const int target = frame.center().x() - host.scrollArea->viewport()->width() / 2;
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(scroll->value() - target) <= 1; }, 5000)) << scroll->value();
    QTest::qWait(50);
    // One scroll, straight to the last selection: never past it, never back.
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << values.size();
    EXPECT_LE(values.last(), target + 1);
    EXPECT_LE(std::abs(scroll->value() - target), 1);
}

TEST(ThumbnailBarSelection, ArrowsSelectNeighboursUnlessObjectsAreSelected)
{
    HostWindow host(5);
    host.show();
    host.bar->setSelectionIndexes({3});
    QTest::keyClick(host.bar, Qt::Key_Right);
    EXPECT_EQ(host.bar->currentIndex(), 4);
    QTest::keyClick(host.bar, Qt::Key_Right); // never onto the add item
    EXPECT_EQ(host.bar->currentIndex(), 4);
    QTest::keyClick(host.bar, Qt::Key_Left);
    EXPECT_EQ(host.bar->currentIndex(), 3);

    // The key goes on to the window (which nudges the objects).
    host.selectedObjects = true;
    QTest::keyClick(host.bar, Qt::Key_Right);
    EXPECT_EQ(host.bar->currentIndex(), 3);
    EXPECT_EQ(host.keysSeen, QList<int>{Qt::Key_Right});

    // A click in the bar clears the canvas selection first.
    const int clears = host.selectionClears;
    QTest::mouseClick(host.bar, Qt::LeftButton, {}, host.bar->frameForItemAtIndex(1).center());
    EXPECT_EQ(host.selectionClears, clears + 1);
    EXPECT_EQ(host.bar->currentIndex(), 1);
}

TEST(ThumbnailBarIndexSet, RoundTripsAndRejectsBadData)
{
    QMimeData mime;
    PasteboardFriendlyIndexSet({3, 1, 3, -2}, "bar-a").writeTo(mime);
    const auto read = PasteboardFriendlyIndexSet::readFrom(&mime);
    EXPECT_EQ(read.indexes(), (QList<int>{1, 3}));
    EXPECT_EQ(read.token(), "bar-a");
    QMimeData garbage;
    garbage.setData(PasteboardFriendlyIndexSet::kDraggingType, "not json");
    EXPECT_TRUE(PasteboardFriendlyIndexSet::readFrom(&garbage).isEmpty());
    EXPECT_TRUE(PasteboardFriendlyIndexSet::readFrom(nullptr).isEmpty());
}

} // namespace

namespace {

TEST(ThumbnailBarDragging, APressAndAMoveStartTheDragAndItsEndClearsIt)
{
    HostWindow host(5);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QSet<QString> reported;
    ObjectUpdateNotifierObserver observer = host.bar->updateNotifier().addObservationBlock(
        [&](const void*, const QSet<QString>& keys) { reported += keys; }, QStringLiteral("currentIndex"));

    const QPoint start = host.bar->frameForItemAtIndex(1).center();
    QTest::mousePress(host.bar, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(QApplication::startDragDistance() + 5, 0)),
                     host.bar->mapToGlobal(QPointF(start + QPoint(QApplication::startDragDistance() + 5, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(host.bar, &move);
    QTest::mouseRelease(host.bar, Qt::LeftButton, {}, start);
    // The drag has ended (offscreen, at once): nothing is marked as dragged, no indicator, no move.
    EXPECT_TRUE(host.bar->draggingIndexes().isEmpty());
    EXPECT_FALSE(host.bar->dropIndicator()->isVisible());
    EXPECT_EQ(host.order(), (QStringList{"S0", "S1", "S2", "S3", "S4"}));
    EXPECT_FALSE(host.bar->isScrollPending()) << "a drag start stops the pending scroll";

    host.bar->updateNotifier().sendUpdateNotificationsIfNeeded();
    EXPECT_TRUE(reported.contains("currentIndex"));
    EXPECT_EQ(host.bar->currentIndex(), 1);
    host.bar->updateNotifier().removeUpdateObserver(observer);
}

} // namespace
