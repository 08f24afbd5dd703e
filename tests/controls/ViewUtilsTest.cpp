#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "controls/NibRegistry.h"
#include "controls/ViewUtils.h"

namespace {

class ClickCounter : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
};

// Clicks at a window position on whatever widget a real pointer would hit there.
void clickWindowAt(QWidget* window, const QPoint& pos)
{
    QWidget* target = window->childAt(pos);
    if (!target)
        target = window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, pos));
}

} // namespace

TEST(ViewUtils, SnapshotHasTheBoundsSizeAndTheViewsPixels)
{
    QWidget view;
    view.resize(31, 17);
    ViewUtils::setBackgroundColor(&view, Qt::red);
    auto* child = new QWidget(&view);
    child->setGeometry(10, 5, 5, 5);
    ViewUtils::setBackgroundColor(child, Qt::blue);
    const UNIImage snapshot = ViewUtils::imageFromView(&view);
    EXPECT_EQ(snapshot.realSize(), QSize(31, 17));
    EXPECT_EQ(snapshot.size(), QSizeF(31, 17));
    const QImage& image = snapshot.CGImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(12, 7), QColor(Qt::blue));

    // The effects work on that snapshot: pixellation into 31-point squares averages the whole picture.
    const UNIImage pixelated = ViewUtils::pixelatedImageFromView(&view, 31.0, false);
    EXPECT_EQ(pixelated.realSize(), QSize(31, 17));
    EXPECT_NE(pixelated.CGImage().pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(ViewUtils::blurryImageFromView(&view, true).realSize(), QSize(31, 17));

    QWidget empty;
    empty.resize(0, 10);
    EXPECT_TRUE(ViewUtils::imageFromView(&empty).isNull());
    EXPECT_TRUE(ViewUtils::imageFromView(nullptr).isNull());
}

TEST(ViewUtils, CentringUsesBoundsForTheParentAndFrameOtherwiseRoundingDown)
{
    QWidget root;
    root.resize(500, 500);
    auto* other = new QWidget(&root);
    other->setGeometry(100, 50, 101, 61);
    auto* inside = new QWidget(other);
    inside->resize(20, 20);
    ViewUtils::centerView(inside, other);
    EXPECT_EQ(inside->pos(), QPoint(40, 20)); // floor(40.5), floor(20.5) in the parent's bounds

    auto* sibling = new QWidget(&root);
    sibling->resize(20, 20);
    ViewUtils::centerView(sibling, other);
    EXPECT_EQ(sibling->pos(), QPoint(140, 70)); // on the other's frame

    ViewUtils::centerViewAtX(sibling, other, 7.9);
    EXPECT_EQ(sibling->pos(), QPoint(7, 70));
    ViewUtils::centerViewAtY(sibling, other, -400.0);
    EXPECT_EQ(sibling->pos(), QPoint(140, -400));

    ViewUtils::setX(sibling, 3);
    ViewUtils::setY(sibling, 4);
    ViewUtils::setWidth(sibling, 55);
    EXPECT_EQ(sibling->geometry(), QRect(3, 4, 55, 20));
}

TEST(ViewUtils, ResizeToFitSubviewsAndInsertSubviewOrder)
{
    QWidget view;
    view.resize(10, 10);
    auto* a = new QWidget(&view);
    a->setGeometry(5, 5, 100, 20);
    auto* b = new QWidget(&view);
    b->setGeometry(50, 40, 10, 70);
    ViewUtils::drawBorderAroundView(&view, Qt::black, 2.0); // its overlay must not count as a subview
    ViewUtils::resizeViewToFitSubviews(&view);
    EXPECT_EQ(view.size(), QSize(105, 110));

    QWidget stack;
    auto* bottom = new QWidget(&stack);
    auto* top = new QWidget(&stack);
    auto* inserted = new QWidget;
    ViewUtils::insertSubview(&stack, inserted, 1); // below `top`
    const QObjectList order = stack.children();
    EXPECT_LT(order.indexOf(bottom), order.indexOf(inserted));
    EXPECT_LT(order.indexOf(inserted), order.indexOf(top));
    QWidget lonely;
    auto* only = new QWidget;
    ViewUtils::insertSubview(&lonely, only, 0);
    EXPECT_EQ(only->parentWidget(), &lonely);
}

TEST(ViewUtils, DisabledInteractionLetsClicksThroughWithOrWithoutItsSubviews)
{
    QWidget window;
    window.resize(300, 200);
    auto* below = new ClickCounter(&window);
    below->setGeometry(window.rect());
    auto* holder = new ClickCounter(&window);
    holder->setGeometry(window.rect());
    auto* button = new QPushButton(QStringLiteral("cancel"), holder);
    button->setGeometry(100, 80, 100, 40);
    int buttonClicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++buttonClicks; });
    window.show();

    // Subviews still take events: the button works, the holder's own area passes to the view below.
    ViewUtils::setUserInteractionDisabled(holder, true);
    ViewUtils::setUserInteractionDisabledIgnoredForSubviews(holder, true);
    clickWindowAt(&window, QPoint(150, 100));
    EXPECT_EQ(buttonClicks, 1);
    clickWindowAt(&window, QPoint(20, 20));
    EXPECT_EQ(below->presses, 1);
    EXPECT_EQ(holder->presses, 0);

    // Subviews ignored too: the whole holder is invisible to clicks.
    ViewUtils::setUserInteractionDisabledIgnoredForSubviews(holder, false);
    clickWindowAt(&window, QPoint(150, 100));
    EXPECT_EQ(buttonClicks, 1);
    EXPECT_EQ(below->presses, 2);

    ViewUtils::setUserInteractionDisabled(holder, false);
    clickWindowAt(&window, QPoint(20, 20));
    EXPECT_EQ(holder->presses, 1);
}

TEST(ViewUtils, AClickPassedThroughMayTurnTheHoldersInteractionBackOn)
{
    QWidget window;
    window.resize(300, 200);
    auto* below = new QPushButton(QStringLiteral("behind"), &window);
    below->setGeometry(window.rect());
    auto* holder = new ClickCounter(&window);
    holder->setGeometry(window.rect());
    // The button beneath, reached through the holder, enables the holder: the pass-through is removed while it is
    // still handing the click on.
    int belowClicks = 0;
    QObject::connect(below, &QPushButton::clicked, [&] {
        ++belowClicks;
        ViewUtils::setUserInteractionDisabled(holder, false);
    });
    window.show();
    ViewUtils::setUserInteractionDisabled(holder, true);
    ViewUtils::setUserInteractionDisabledIgnoredForSubviews(holder, true);

    clickWindowAt(&window, QPoint(20, 20));
    EXPECT_EQ(belowClicks, 1);
    EXPECT_FALSE(ViewUtils::isUserInteractionDisabled(holder));
    // The holder takes its clicks again.
    clickWindowAt(&window, QPoint(20, 20));
    EXPECT_EQ(holder->presses, 1);
    EXPECT_EQ(belowClicks, 1);
}

TEST(ViewUtils, FontColourAndNinePartDrawing)
{
    QPushButton titled(QStringLiteral("OK"));
    ViewUtils::setFontColor(&titled, Qt::red);
    EXPECT_EQ(titled.palette().color(QPalette::ButtonText), QColor(Qt::red));
    QPushButton untitled;
    const QColor before = untitled.palette().color(QPalette::ButtonText);
    ViewUtils::setFontColor(&untitled, Qt::red);
    EXPECT_EQ(untitled.palette().color(QPalette::ButtonText), before);
    ViewUtils::setTextColor(QColor(), &titled); // no colour: unchanged
    EXPECT_EQ(titled.palette().color(QPalette::ButtonText), QColor(Qt::red));

    QWidget root;
    root.setAcceptDrops(true);
    auto* grandchild = new QWidget(new QWidget(&root));
    grandchild->setAcceptDrops(true);
    ViewUtils::recursivelyUnregisterDragTypesForAllSubviewsOfView(&root);
    EXPECT_FALSE(grandchild->acceptDrops());
    EXPECT_TRUE(root.acceptDrops());

    // A 9 x 9 image: 3-point corners red, everything else green. Stretched to 30 x 20, corners keep their size.
    QPixmap source(9, 9);
    source.fill(Qt::green);
    {
        QPainter p(&source);
        for (QPoint corner : {QPoint(0, 0), QPoint(6, 0), QPoint(0, 6), QPoint(6, 6)})
            p.fillRect(QRect(corner, QSize(3, 3)), Qt::red);
    }
    QImage target(30, 20, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter p(&target);
        ViewUtils::drawNinePartImage(&p, source, QRectF(0, 0, 30, 20), 3, 3, 3, 3);
    }
    EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(28, 18), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(4, 1), QColor(Qt::green)); // just past the corner: stretched edge
    EXPECT_EQ(target.pixelColor(15, 10), QColor(Qt::green));
}

TEST(NibRegistry, LoadFromNibSizesTheReceiverAndTheViewFollowsIt)
{
    NibRegistry::registerNib(QStringLiteral("QWidget"), [](QObject* owner) {
        auto* top = new QLabel(QStringLiteral("from the file"));
        top->setObjectName(QStringLiteral("outlet"));
        top->resize(240, 120);
        owner->setProperty("connected", true);
        return QList<QWidget*>{top};
    });
    QWidget receiver;
    receiver.move(30, 40);
    ASSERT_TRUE(NibRegistry::loadFromNib(&receiver));
    EXPECT_EQ(receiver.geometry(), QRect(30, 40, 240, 120));
    EXPECT_TRUE(receiver.property("connected").toBool());
    QWidget* nib = NibRegistry::nibView(&receiver);
    ASSERT_NE(nib, nullptr);
    EXPECT_EQ(nib->objectName(), QStringLiteral("outlet"));
    EXPECT_EQ(nib->geometry(), QRect(0, 0, 240, 120));

    receiver.show(); // a hidden widget hears of its resizes only when shown
    receiver.resize(300, 100);
    EXPECT_EQ(nib->size(), QSize(300, 100));

    EXPECT_FALSE(NibRegistry::loadFromNibWithNibName(&receiver, QStringLiteral("NoSuchFile")));
    delete nib;
    EXPECT_EQ(NibRegistry::nibView(&receiver), nullptr);
    NibRegistry::unregisterNib(QStringLiteral("QWidget"));
}
