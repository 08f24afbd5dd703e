#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QtGlobal>

#include "platform/CheckedNumbers.h"

// The edges of each integer type: the last number it holds is converted, the first past it is refused; values
// between whole numbers lose their fraction towards zero, and clamping takes the bound.
TEST(CheckedNumbers, NumbersBecomeIntegersOnlyWhenTheTypeHoldsThem)
{
    using CheckedNumbers::wholeNumber;
    EXPECT_EQ(wholeNumber<int>(2147483647.0), 2147483647);
    EXPECT_EQ(wholeNumber<int>(2147483647.9), 2147483647);
    EXPECT_FALSE(wholeNumber<int>(2147483648.0));
    EXPECT_EQ(wholeNumber<int>(-2147483648.0), std::numeric_limits<int>::min());
    EXPECT_EQ(wholeNumber<int>(-2147483648.9), std::numeric_limits<int>::min());
    EXPECT_FALSE(wholeNumber<int>(-2147483649.0));
    EXPECT_EQ(wholeNumber<int>(-2.7), -2);
    EXPECT_FALSE(wholeNumber<int>(1e300));
    EXPECT_FALSE(wholeNumber<int>(-3e9));
    EXPECT_FALSE(wholeNumber<int>(std::nan("")));
    EXPECT_FALSE(wholeNumber<int>(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(wholeNumber<qint64>(9223372036854775808.0));
    EXPECT_EQ(wholeNumber<qint64>(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    EXPECT_EQ(wholeNumber<qint64>(9007199254740993.0), 9007199254740992);
    EXPECT_FALSE(wholeNumber<unsigned>(-1.0));
    EXPECT_EQ(wholeNumber<unsigned>(-0.5), 0u);

    using CheckedNumbers::clampedWholeNumber;
    EXPECT_EQ(clampedWholeNumber(1e300, 0, 4), 4);
    EXPECT_EQ(clampedWholeNumber(-3e9, 0, 4), 0);
    EXPECT_EQ(clampedWholeNumber(std::nan(""), 0, 4), 0);
    EXPECT_EQ(clampedWholeNumber(2.9, 0, 4), 2);
    EXPECT_EQ(clampedWholeNumber<qint64>(1e19, 0, std::numeric_limits<qint64>::max()),
              std::numeric_limits<qint64>::max());
}
