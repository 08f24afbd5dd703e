#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include "foundation/Utils.h"
#include "support/QtPrinters.h"

TEST(Utils, RandomBetweenStaysInTheHalfOpenRangeAndEqualBoundsGiveTheLowBound)
{
    for (int i = 0; i < 1000; ++i) {
        const quint32 value = Utils::randomBetween(10, 13);
        EXPECT_GE(value, 10u);
        EXPECT_LT(value, 13u);
    }
    EXPECT_EQ(Utils::randomBetween(7, 7), 7u);
    EXPECT_EQ(Utils::randomBetween(9, 3), 9u);
    EXPECT_EQ(Utils::randomBetween(0, 1), 0u);
}

TEST(Utils, RoundDownToFactor)
{
    EXPECT_FLOAT_EQ(Utils::roundDownF(1.26f, 4), 1.25f);
    EXPECT_FLOAT_EQ(Utils::roundDownF(-0.1f, 2), -0.5f);
    EXPECT_FLOAT_EQ(Utils::roundDownF(3.7f, 1), 3.0f);
    EXPECT_FLOAT_EQ(Utils::roundDownF(3.7f, 0), 3.7f);
}

TEST(Utils, ColoursFromHexAreOpaque)
{
    EXPECT_EQ(Utils::colorFromHex(0x1F70A8), QColor(0x1F, 0x70, 0xA8));
    EXPECT_EQ(Utils::colorFromHex(0xFF123456).alpha(), 255);
    EXPECT_EQ(Utils::colorFromHex(0xFF123456), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(Utils::randomColor().alpha(), 255);
}

TEST(Utils, RectFlipBetweenTopLeftAndBottomLeftIsItsOwnInverse)
{
    const QRectF rect(10, 20, 30, 40);
    const QSizeF parent(1024, 748);
    const QRectF flipped = Utils::convertRectConvertedFromIOSSpacedCGRect(rect, parent);
    EXPECT_EQ(flipped, QRectF(10, 748 - 60, 30, 40));
    EXPECT_EQ(Utils::convertRectConvertedFromIOSSpacedCGRect(flipped, parent), rect);
}

TEST(Utils, QueryStringsKeepTwoPartPiecesDecodedAndLaterKeysWin)
{
    const QMap<QString, QString> expected{{"a", "2"}, {"b", " x"}};
    EXPECT_EQ(Utils::dictionaryFromURLQueryString("a=1&b=%20x&c&a=2"), expected);
    EXPECT_EQ(Utils::dictionaryFromURLQueryString("n%C3%A4me=%E2%9C%93"), (QMap<QString, QString>{{"näme", "✓"}}));
    EXPECT_TRUE(Utils::dictionaryFromURLQueryString("").isEmpty());
    EXPECT_TRUE(Utils::dictionaryFromURLQueryString("&&==&a=b=c").isEmpty());
    EXPECT_EQ(Utils::dictionaryFromURLQueryString("=v&k="), (QMap<QString, QString>{{"", "v"}, {"k", ""}}));
    EXPECT_EQ(Utils::dictionaryFromURLQueryString("bad=%zz%"), (QMap<QString, QString>{{"bad", "%zz%"}}));
}

TEST(Utils, DelayedBlocksRunOnTheMainThreadNoEarlierThanAsked)
{
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = -1;
    Utils::performBlock([&] { ranAfter = clock.elapsed(); }, 0.05);
    EXPECT_EQ(ranAfter, -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranAfter >= 0; }, 2000));
    EXPECT_GE(ranAfter, 45);
}

TEST(Utils, BlocksFromAWorkerRunOnTheMainThreadAndWaitingReturnsAfterTheRun)
{
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> sawResult{false};
    std::thread worker([&] {
        bool done = false;
        Utils::runBlockOnMainThread(
            [&] {
                ranOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
                done = true;
            },
            true);
        sawResult = done;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return sawResult.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(ranOnMain);

    bool queuedRan = false;
    Utils::runBlockOnMainThread([&] { queuedRan = true; }, false);
    EXPECT_FALSE(queuedRan);
    EXPECT_TRUE(QTest::qWaitFor([&] { return queuedRan; }, 2000));

    bool inlineRan = false;
    Utils::runBlockOnMainThread([&] { inlineRan = true; }, true);
    EXPECT_TRUE(inlineRan);
}
