#include <gtest/gtest.h>

#include <memory>

#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>

#include "controls/GrooveCachingScrollBar.h"

namespace {

// The same bar twice, plain and caching, in one style.
struct BarPair {
    explicit BarPair(const QString& styleName, Qt::Orientation orientation, QSize size)
        : style(QStyleFactory::create(styleName))
        , plain(orientation)
        , caching(orientation)
    {
        for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&caching)}) {
            bar->setStyle(style.get());
            bar->setRange(0, 4000);
            bar->setPageStep(600);
            bar->resize(size);
        }
    }
    template <class F> void both(F&& change)
    {
        change(plain);
        change(caching);
    }
    bool samePicture() { return plain.grab().toImage() == caching.grab().toImage(); }

    std::unique_ptr<QStyle> style;
    QScrollBar plain;
    GrooveCachingScrollBar caching;
};

} // namespace

TEST(GrooveCachingScrollBar, LooksLikeTheStylesOwnBarThroughScrollsResizesAndStateChanges)
{
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        const QSize size = orientation == Qt::Horizontal ? QSize(640, 16) : QSize(16, 480);
        BarPair bars(QStringLiteral("fusion"), orientation, size);
        ASSERT_TRUE(bars.caching.cachesGroove());
        // The ends, where the handle meets the arrows, and values between, with the groove drawn once.
        for (int value : {0, 1, 700, 2000, 3999, 4000, 1200}) {
            bars.both([value](QScrollBar& bar) { bar.setValue(value); });
            EXPECT_TRUE(bars.samePicture()) << "value " << value << " orientation " << orientation;
        }
        // A kept groove must not outlive the size, the colours or the state it was drawn for.
        bars.both([size](QScrollBar& bar) { bar.resize(size / 2); });
        EXPECT_TRUE(bars.samePicture()) << "resized";
        bars.both([](QScrollBar& bar) {
            QPalette palette = bar.palette();
            palette.setColor(QPalette::Window, QColor(90, 20, 20));
            palette.setColor(QPalette::Button, QColor(20, 90, 20));
            bar.setPalette(palette);
        });
        EXPECT_TRUE(bars.samePicture()) << "new palette";
        bars.both([](QScrollBar& bar) { bar.setEnabled(false); });
        EXPECT_TRUE(bars.samePicture()) << "disabled";
        bars.both([](QScrollBar& bar) { bar.setLayoutDirection(Qt::RightToLeft); });
        EXPECT_TRUE(bars.samePicture()) << "right to left";
    }
}

TEST(GrooveCachingScrollBar, OtherStylesPaintTheirWholeBar)
{
    BarPair bars(QStringLiteral("windows"), Qt::Horizontal, QSize(400, 16));
    EXPECT_FALSE(bars.caching.cachesGroove());
    for (int value : {0, 2000, 4000}) {
        bars.both([value](QScrollBar& bar) { bar.setValue(value); });
        EXPECT_TRUE(bars.samePicture()) << "value " << value;
    }
}
