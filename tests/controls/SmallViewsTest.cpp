#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "controls/ComboBoxView.h"
#include "controls/CustomProgressView.h"
#include "controls/HoverAreaView.h"
#include "controls/QVRGreyHighlightTableRowView.h"
#include "controls/QVR_StretchableBorderView.h"
#include "controls/QVR_TableViewCellLikeView.h"
#include "controls/QVR_Toast.h"
#include "controls/SimpleControlView.h"
#include "controls/SingleRowCollectionView.h"

namespace {

void enter(QWidget* view)
{
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), view->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(view, &event);
}

void leave(QWidget* view)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(view, &event);
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class CellDelegate : public TableViewCellLikeViewDelegate {
public:
    QList<QVR_TableViewCellLikeView*> clicked;
    void tableViewCellLikeViewClicked(QVR_TableViewCellLikeView* view) override { clicked.append(view); }
};

class CountingCollection : public SingleRowCollectionView {
public:
    int setups = 0;

protected:
    void doInitialSetup() override
    {
        SingleRowCollectionView::doInitialSetup();
        ++setups;
    }
    SingleRowCollectionViewItem* newItemForRepresentedObject(const QVariant& object) override
    {
        return new SingleRowCollectionViewItem(object, new QLabel(object.toString()));
    }
};

QPixmap solid(QColor color)
{
    QPixmap p(8, 8);
    p.fill(color);
    return p;
}

} // namespace

TEST(SimpleControlView, StatesFollowThePointerAndOnlyAReleaseInsideClicks)
{
    SimpleControlView view;
    view.resize(100, 40);
    view.show();
    QSignalSpy clicks(&view, &SimpleControlView::controlClicked);
    enter(&view);
    EXPECT_EQ(view.currentControlState(), SimpleControlView::PointerInside);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.currentControlState(), SimpleControlView::PressedInside);
    QTest::mouseMove(&view, QPoint(300, 10));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_EQ(clicks.count(), 0); // released outside
    EXPECT_EQ(view.currentControlState(), SimpleControlView::PointerOutside);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_EQ(clicks.count(), 1);
    leave(&view);
    EXPECT_EQ(view.currentControlState(), SimpleControlView::PointerOutside);
}

TEST(TableViewCellLikeView, ReportsClicksToItsDelegateAndIconsFollowTheState)
{
    QVR_TableViewCellLikeView cell;
    cell.show();
    CellDelegate delegate;
    cell.setDelegate(&delegate);
    cell.setCellTitle(QStringLiteral("Settings"));
    cell.setIconImage(solid(Qt::red));
    cell.setIconImage_hoverState(solid(Qt::green));
    EXPECT_EQ(cell.currentIcon().toImage().pixelColor(0, 0), QColor(Qt::red));
    enter(&cell);
    EXPECT_EQ(cell.currentIcon().toImage().pixelColor(0, 0), QColor(Qt::green));
    QTest::mousePress(&cell, Qt::LeftButton, {}, QPoint(5, 5));
    // No pressed icon: falls back to the normal one.
    EXPECT_EQ(cell.currentIcon().toImage().pixelColor(0, 0), QColor(Qt::red));
    QTest::mouseRelease(&cell, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(delegate.clicked.size(), 1);
    EXPECT_EQ(delegate.clicked.first(), &cell);
}

TEST(TableViewCellLikeView, RepaintsItsHighlightAsTheFocusComesAndGoes)
{
    QWidget window;
    window.resize(200, 100);
    auto* first = new QVR_TableViewCellLikeView(&window);
    first->setGeometry(0, 0, 200, 40);
    first->setFocusPolicy(Qt::StrongFocus);
    auto* second = new QVR_TableViewCellLikeView(&window);
    second->setGeometry(0, 50, 200, 40);
    second->setFocusPolicy(Qt::StrongFocus);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    first->setFocus();
    QTest::qWait(100);
    PaintCounter firstPaints;
    PaintCounter secondPaints;
    first->installEventFilter(&firstPaints);
    second->installEventFilter(&secondPaints);
    second->setFocus();
    for (int i = 0; i < 200 && (firstPaints.paints == 0 || secondPaints.paints == 0); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_GT(firstPaints.paints, 0);
    EXPECT_GT(secondPaints.paints, 0);
}

TEST(HoverAreaView, EnterAndExitBlocksRunOncePerCrossing)
{
    HoverAreaView view;
    view.resize(50, 50);
    int enters = 0;
    int exits = 0;
    view.setOnMouseEnterBlock([&] { ++enters; });
    view.setOnMouseExitBlock([&] { ++exits; });
    enter(&view);
    enter(&view);
    leave(&view);
    leave(&view);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
}

TEST(SingleRowCollectionView, ItemsInOneRowSelectionAndSetupOnce)
{
    CountingCollection view;
    view.setItemSize(QSize(100, 80));
    view.setItemSpacing(10);
    QSignalSpy current(&view, &SingleRowCollectionView::currentIndexChanged);
    view.setContent({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    view.show();
    EXPECT_EQ(view.setups, 1);
    EXPECT_EQ(view.count(), 3);
    EXPECT_EQ(view.frameForItemAtIndex(2), QRect(220, 0, 100, 80));
    EXPECT_EQ(view.size(), QSize(320, 80));
    EXPECT_EQ(view.itemAtIndex(1)->representedObject().toString(), QStringLiteral("b"));
    EXPECT_EQ(view.itemAtIndex(5), nullptr);
    EXPECT_EQ(view.currentIndex(), -1);

    QTest::mouseClick(view.itemAtIndex(1)->view(), Qt::LeftButton, {}, QPoint(50, 40));
    EXPECT_EQ(view.currentIndex(), 1);
    EXPECT_TRUE(view.itemAtIndex(1)->isSelected());
    view.setSelectionIndexes({7, 2, 0, 2});
    EXPECT_EQ(view.selectionIndexes(), (QList<int>{0, 2}));
    EXPECT_EQ(view.currentIndex(), 0);
    EXPECT_EQ(current.count(), 2);
    EXPECT_EQ(view.indexAtPoint(QPoint(105, 10)), -1); // in the spacing

    view.setContent({QStringLiteral("x")});
    EXPECT_EQ(view.currentIndex(), -1);
    EXPECT_EQ(view.setups, 1);
}

TEST(Toast, ReplacesTheEarlierToastAndGoesAwayByItself)
{
    QWidget view;
    view.resize(600, 400);
    view.show();
    QVR_Toast::setDurationForTesting(200);
    QPointer<QWidget> first = QVR_Toast::toast(QStringLiteral("Saved"), &view);
    QPointer<QWidget> second = QVR_Toast::toast(QStringLiteral("Error sending mail."), &view);
    EXPECT_EQ(QVR_Toast::currentToast(&view), second.data());
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000));
    EXPECT_TRUE(view.rect().contains(second->geometry()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }, 3000));
    QVR_Toast::setDurationForTesting(0);
    EXPECT_EQ(QVR_Toast::toast(QStringLiteral("x"), nullptr), nullptr);
}

TEST(CustomProgressView, FillsItsShareInTheBarColour)
{
    CustomProgressView bar;
    bar.resize(200, 20);
    bar.setBarColor(QColor(0x1F, 0x70, 0xA8));
    bar.setProgress(0.25f);
    bar.setLabelText(QStringLiteral("Uploading 1 of 4"));
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(int(20 * image.devicePixelRatio()), int(17 * image.devicePixelRatio())),
              QColor(0x1F, 0x70, 0xA8));
    EXPECT_NE(image.pixelColor(int(150 * image.devicePixelRatio()), int(17 * image.devicePixelRatio())),
              QColor(0x1F, 0x70, 0xA8));
    bar.setProgress(3.0f);
    EXPECT_FLOAT_EQ(bar.progress(), 1.0f);
}

TEST(ComboBoxAndRows, ComboShowsItsMenuAndRowsDrawGreySelection)
{
    ComboBoxView combo;
    combo.resize(180, 26);
    combo.show();
    QMenu menu;
    menu.addAction(QStringLiteral("Fade"));
    combo.setPopupMenu(&menu);
    combo.label()->setText(QStringLiteral("Fade"));
    QTest::mouseClick(combo.dropDownButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    menu.hide();

    QVRGreyHighlightTableRowView row;
    row.resize(100, 20);
    row.setSelected(true);
    const QImage image = row.grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QVRGreyHighlightTableRowView::selectionColor());

    QVR_StretchableBorderView docked(QRect(0, 0, 120, 300), true);
    EXPECT_TRUE(docked.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(QVR_StretchableBorderView::borderImage(false, 2.0).isNull());
}

namespace {

TEST(SingleRowCollectionKeepingUpdate, StayingObjectsKeepTheirViewsAndTheSelectionFollows)
{
    CountingCollection view;
    view.setItemSize(QSize(40, 20));
    view.setContent({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    view.setSelectionIndexes({1});
    QWidget* a = view.itemAtIndex(0)->view();
    QWidget* b = view.itemAtIndex(1)->view();
    QPointer<QWidget> c = view.itemAtIndex(2)->view();
    QSignalSpy current(&view, &SingleRowCollectionView::currentIndexChanged);

    // "b" moves to the end, "c" leaves, "d" arrives.
    view.updateContent({QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("b")});
    ASSERT_EQ(view.count(), 3);
    EXPECT_EQ(view.itemAtIndex(0)->view(), a);
    EXPECT_EQ(view.itemAtIndex(2)->view(), b);
    EXPECT_TRUE(c.isNull());
    EXPECT_EQ(qobject_cast<QLabel*>(view.itemAtIndex(1)->view())->text(), QStringLiteral("d"));
    EXPECT_EQ(b->geometry(), view.frameForItemAtIndex(2));
    EXPECT_EQ(view.currentIndex(), 2);
    EXPECT_TRUE(view.itemAtIndex(2)->isSelected());
    EXPECT_FALSE(view.itemAtIndex(1)->isSelected());
    ASSERT_EQ(current.count(), 1);
    EXPECT_EQ(current.first().first().toInt(), 2);

    // The selected object leaving clears the selection; repeated objects each get an item.
    view.updateContent({QStringLiteral("a"), QStringLiteral("a")});
    EXPECT_EQ(view.currentIndex(), -1);
    ASSERT_EQ(view.count(), 2);
    EXPECT_EQ(view.itemAtIndex(0)->view(), a);
    EXPECT_NE(view.itemAtIndex(1)->view(), a);
    EXPECT_EQ(view.width(), 80);
}

} // namespace
