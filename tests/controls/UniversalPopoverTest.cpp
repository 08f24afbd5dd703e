#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

#include "controls/UniversalPopover.h"

namespace {

struct PopoverFixture {
    QWidget host;
    UniversalPopover* popover = nullptr;
    PopoverFixture()
    {
        host.resize(800, 600);
        host.show();
        auto* content = new QWidget;
        content->resize(200, 120);
        popover = new UniversalPopover(0, QColor::fromRgbF(0.98f, 0.98f, 0.98f), content);
    }
    ~PopoverFixture() { delete popover; }
    bool insideHost() const { return host.rect().contains(popover->geometry()); }
};

} // namespace

TEST(UniversalPopover, DisallowedPreferredSideNearRightEdgePicksAnAllowedSideInsideTheHost)
{
    PopoverFixture f;
    // Preferred: arrow on the left, i.e. the popover to the right of the anchor, which would leave the host anyway.
    f.popover->setPreferedPopoverArrowPosition(UniversalPopover::ArrowPositionLeft);
    const QRectF anchor(770, 280, 20, 20);
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionTop | UniversalPopover::ArrowPositionRight,
                                    anchor, false);
    ASSERT_TRUE(f.popover->isVisible());
    EXPECT_TRUE(f.popover->arrowPosition() == UniversalPopover::ArrowPositionTop ||
                f.popover->arrowPosition() == UniversalPopover::ArrowPositionRight);
    EXPECT_TRUE(f.insideHost()) << f.popover->geometry().x() << "," << f.popover->geometry().y();
    // Top is tried before right and fits (below the anchor), sliding left to stay inside: its arrow still points
    // at the anchor's centre, which lies near the popover's right edge.
    EXPECT_EQ(f.popover->arrowPosition(), UniversalPopover::ArrowPositionTop);
    const QPointF tipInHost = f.popover->geometry().topLeft() + f.popover->arrowTip();
    EXPECT_NEAR(tipInHost.x(), anchor.center().x(), 1.0);
    EXPECT_NEAR(tipInHost.y(), anchor.bottom(), 1.0);
}

TEST(UniversalPopover, AllowedPreferredSideWinsWhenItFitsAndCrowdedHostsStillContainThePopover)
{
    PopoverFixture f;
    f.popover->setPreferedPopoverArrowPosition(UniversalPopover::ArrowPositionRight);
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(600, 280, 20, 20), false);
    EXPECT_EQ(f.popover->arrowPosition(), UniversalPopover::ArrowPositionRight);
    EXPECT_LE(f.popover->geometry().right(), 600);
    EXPECT_TRUE(f.insideHost());

    // Anchor at the bottom edge with only "top" allowed (popover below the anchor): nothing fits, yet the popover
    // is moved inside the host rather than hanging off it.
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionTop, QRectF(400, 590, 10, 10), false);
    EXPECT_EQ(f.popover->arrowPosition(), UniversalPopover::ArrowPositionTop);
    EXPECT_TRUE(f.insideHost());
}

TEST(UniversalPopover, DismissRunsTheCompletionOnceAnimatedOrNot)
{
    PopoverFixture f;
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), true);
    int completions = 0;
    f.popover->dismissPopoverAnimated(true, [&] { ++completions; });
    EXPECT_EQ(completions, 0); // still fading out
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 3000));
    EXPECT_FALSE(f.popover->isVisible());

    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);
    f.popover->dismissPopoverAnimated(false, [&] { ++completions; });
    EXPECT_EQ(completions, 2);
    // A second dismissal of a hidden popover still answers its own completion, and never replays the earlier one.
    f.popover->dismissPopoverAnimated(true, [&] { ++completions; });
    EXPECT_EQ(completions, 3);
    EXPECT_FALSE(QTest::qWaitFor([&] { return completions > 3; }, 400));
}

TEST(UniversalPopover, PresentingAgainDuringAFadeOutCancelsThePendingCompletion)
{
    PopoverFixture f;
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);
    bool completed = false;
    f.popover->dismissPopoverAnimated(true, [&] { completed = true; });
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);
    EXPECT_FALSE(QTest::qWaitFor([&] { return completed; }, 400));
    EXPECT_TRUE(f.popover->isVisible());
}

TEST(UniversalPopover, TheCompletionOfAFadeOutMayDeleteThePopover)
{
    PopoverFixture f;
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);
    QPointer<UniversalPopover> watched = f.popover;
    bool completed = false;
    f.popover->dismissPopoverAnimated(true, [&] {
        completed = true;
        delete f.popover;
        f.popover = nullptr;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed; }, 2000));
    QTest::qWait(50);
    EXPECT_TRUE(watched.isNull());
}

TEST(UniversalPopover, FadeEffectDroppedByAnUnanimatedPresentIsNotReusedByTheNextFade)
{
    PopoverFixture f;
    // Cut short while fading in, and again while fading out: each unanimated present drops the fade's effect.
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), true);
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);
    EXPECT_EQ(f.popover->graphicsEffect(), nullptr);
    f.popover->dismissPopoverAnimated(true, {});
    f.popover->presentPopoverInView(&f.host, UniversalPopover::ArrowPositionAll, QRectF(100, 100, 20, 20), false);

    bool completed = false;
    f.popover->dismissPopoverAnimated(true, [&] { completed = true; });
    // The fade-out works on a live effect of its own, starting fully opaque.
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(f.popover->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_DOUBLE_EQ(effect->opacity(), 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed; }, 2000));
    EXPECT_FALSE(f.popover->isVisible());
    EXPECT_EQ(f.popover->graphicsEffect(), nullptr);
}

namespace {

class PressCountingHost : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
};

} // namespace

TEST(UniversalPopover, ClicksOnTheBubbleAroundTheContentReachTheHostOnlyWhenAsked)
{
    PressCountingHost host;
    host.resize(600, 400);
    host.show();
    auto* content = new QWidget;
    content->resize(120, 80);
    UniversalPopover* popover = new UniversalPopover(0, Qt::white, content);
    popover->setSideCaps(20, 20, 20);
    popover->presentPopoverInView(&host, UniversalPopover::ArrowPositionTop, QRectF(280, 50, 40, 20), false);
    const QPoint onBubbleEdge(5, int(UniversalPopover::kArrowLength) + 5); // inside the bubble, outside the content

    QTest::mouseClick(popover, Qt::LeftButton, {}, onBubbleEdge);
    EXPECT_EQ(host.presses, 0); // the bubble swallows it

    popover->setMouseEventsHitOnlyContentView(true);
    QTest::mouseClick(popover, Qt::LeftButton, {}, onBubbleEdge);
    EXPECT_EQ(host.presses, 1);
    EXPECT_EQ(popover->parentWidget(), &host); // the host owns it while presented
}
