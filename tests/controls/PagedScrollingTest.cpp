#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "controls/ContentSheddingScrollView.h"
#include "controls/VazScrollViewAnimation.h"

namespace {

struct PagedFixture {
    ContentSheddingScrollView scrollView{QRect(0, 0, 1024, 748)};
    PagedFixture()
    {
        auto* document = new QWidget;
        document->resize(1024 * 4, 748);
        scrollView.setPage_Width(1024);
        scrollView.setDocumentView(document);
        scrollView.show();
    }
    void wheel(int delta)
    {
        QWheelEvent event(QPointF(500, 300), scrollView.mapToGlobal(QPointF(500, 300)), QPoint(), QPoint(delta, 0),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(scrollView.viewport(), &event);
    }
};

class RecordingDelegate : public VazScrollViewAnimationDelegate {
public:
    int ended = 0;
    int stopped = 0;
    bool allowStart = true;
    bool animationShouldStart(QAbstractAnimation*) override { return allowStart; }
    void animationDidEnd(QAbstractAnimation*) override { ++ended; }
    void animationDidStop(QAbstractAnimation*) override { ++stopped; }
};

} // namespace

TEST(ContentSheddingScrollView, PageNumberFollowsTheVisibleOriginAndResetsWithANewDocument)
{
    PagedFixture f;
    QSignalSpy changes(&f.scrollView, &ContentSheddingScrollView::pageNumberChanged);
    f.scrollView.scrollToPoint(QPoint(2100, 0));
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 2100);
    EXPECT_EQ(f.scrollView.pageNumber(), 2);
    EXPECT_EQ(changes.count(), 1);
    f.scrollView.scrollToPoint(QPoint(2047, 0));
    EXPECT_EQ(f.scrollView.pageNumber(), 1); // truncated, not rounded

    auto* other = new QWidget;
    other->resize(1024 * 2, 748);
    f.scrollView.setDocumentView(other);
    EXPECT_EQ(f.scrollView.pageNumber(), 0);
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 0);
}

TEST(ContentSheddingScrollView, WheelScrollsOnlyWhenAllowed)
{
    PagedFixture f;
    f.scrollView.scrollToPoint(QPoint(1024, 0));
    f.wheel(-240);
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 1024);
    QWheelEvent onBar(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(-240, 0), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(f.scrollView.horizontalScrollBar(), &onBar);
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 1024);

    f.scrollView.setAllowScrollWheelScrolling(true);
    f.wheel(-240);
    EXPECT_NE(f.scrollView.visibleOrigin().x(), 1024);
}

TEST(ContentSheddingScrollView, ZeroPageWidthStaysOnTheFirstPage)
{
    PagedFixture f;
    f.scrollView.setPage_Width(0);
    f.scrollView.scrollToPoint(QPoint(3000, 0));
    EXPECT_EQ(f.scrollView.pageNumber(), 0);
}

TEST(VazScrollViewAnimation, NextPageAnimatesOnePageAndIsRefusedOnTheLastPage)
{
    PagedFixture f;
    RecordingDelegate delegate;
    ASSERT_TRUE(VazScrollViewAnimation::animatedScrollToNextPageinScrollView(&f.scrollView, 1024, &delegate));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended == 1; }, 3000));
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 1024);
    EXPECT_EQ(f.scrollView.pageNumber(), 1);

    f.scrollView.scrollToPoint(QPoint(3 * 1024, 0));
    EXPECT_TRUE(VazScrollViewAnimation::scrollViewIsAtEnd(&f.scrollView));
    EXPECT_FALSE(VazScrollViewAnimation::animatedScrollToNextPageinScrollView(&f.scrollView, 1024, &delegate));
    EXPECT_EQ(VazScrollViewAnimation::currentAnimation(&f.scrollView), nullptr);

    ASSERT_TRUE(VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(&f.scrollView, 1024, &delegate));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.ended == 2; }, 3000));
    EXPECT_EQ(f.scrollView.pageNumber(), 2);

    f.scrollView.scrollToPoint(QPoint(0, 0));
    EXPECT_TRUE(VazScrollViewAnimation::scrollViewIsAtBegining(&f.scrollView));
    EXPECT_FALSE(VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(&f.scrollView, 1024, &delegate));
}

TEST(VazScrollViewAnimation, ANewScrollStopsTheRunningOneAndPagingSnapsToWholePages)
{
    PagedFixture f;
    RecordingDelegate first;
    RecordingDelegate second;
    VazScrollViewAnimation::animatedScrollToPoint(QPointF(3000, 0), &f.scrollView, false, 0, 0, &first);
    VazScrollViewAnimation::animatedScrollToPoint(QPointF(1600, 0), &f.scrollView, true, 1024, 0, &second);
    EXPECT_EQ(first.stopped, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.ended == 1; }, 3000));
    EXPECT_EQ(first.ended, 0);
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 2048); // 1600 is nearer page 2 than page 1

    RecordingDelegate refusing;
    refusing.allowStart = false;
    EXPECT_EQ(VazScrollViewAnimation::animatedScrollToPoint(QPointF(0, 0), &f.scrollView, false, 0, 0, &refusing),
              nullptr);
    EXPECT_EQ(f.scrollView.visibleOrigin().x(), 2048);
}

TEST(VazScrollViewAnimation, DestroyingTheScrollViewMidAnimationIsSafe)
{
    RecordingDelegate delegate;
    {
        PagedFixture f;
        VazScrollViewAnimation::animatedScrollToPoint(QPointF(3000, 0), &f.scrollView, false, 0, 0, &delegate);
    }
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(delegate.ended, 0);
}
