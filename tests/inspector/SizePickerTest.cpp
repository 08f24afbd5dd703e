#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "inspector/pickers/QVRSizePicker.h"

namespace {

class SizePickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        picker.onSizeChanged = [this](int size) { reports.append(size); };
        picker.setCurrentSize(30);
    }
    // Replaces the whole field and commits it.
    void type(const QString& text)
    {
        picker.field()->setText(text);
        emit picker.field()->editingFinished();
    }
    void key(Qt::Key which) { QTest::keyClick(picker.field(), which); }

    QVRSizePicker picker;
    QList<int> reports;
};

TEST_F(SizePickerTest, BadTextPutsTheLastSizeBackWithoutCallingBack)
{
    for (const QString& text : {QStringLiteral("501"), QStringLiteral("12.5"), QStringLiteral("0"),
                                QStringLiteral("abc"), QStringLiteral("-4"), QString(1000, QLatin1Char('9'))}) {
        type(text);
        EXPECT_EQ(picker.field()->text(), QStringLiteral("30")) << text.left(10).toStdString();
    }
    EXPECT_TRUE(reports.isEmpty());
    type(QStringLiteral("500"));
    EXPECT_EQ(reports, QList<int>{500});
    type(QStringLiteral(" 4 8 "));
    EXPECT_EQ(reports, (QList<int>{500, 48}));
}

TEST_F(SizePickerTest, UpAndDownStayWithinTheRange)
{
    picker.setCurrentSize(500);
    key(Qt::Key_Up);
    EXPECT_TRUE(reports.isEmpty());
    picker.setCurrentSize(499);
    key(Qt::Key_Up);
    EXPECT_EQ(reports, QList<int>{500});
    picker.setCurrentSize(1);
    key(Qt::Key_Down);
    EXPECT_EQ(reports, QList<int>{500});
    EXPECT_EQ(picker.field()->text(), QStringLiteral("1"));
}

TEST_F(SizePickerTest, BlankFieldMenuAndSetterNeverCallingBack)
{
    picker.setCurrentSize(0);
    EXPECT_EQ(picker.field()->text(), QStringLiteral(" "));
    key(Qt::Key_Up);
    EXPECT_TRUE(reports.isEmpty());
    type(QStringLiteral("9"));
    EXPECT_EQ(reports, QList<int>{9});

    const QList<QAction*> actions = picker.menu()->actions();
    ASSERT_EQ(actions.size(), 12);
    EXPECT_EQ(actions.last()->text(), QStringLiteral("144"));
    actions.last()->trigger();
    EXPECT_EQ(reports, (QList<int>{9, 144}));
    EXPECT_EQ(picker.field()->text(), QStringLiteral("144"));

    for (int size : {12, 0, 600, 72})
        picker.setCurrentSize(size);
    EXPECT_EQ(reports, (QList<int>{9, 144}));
    EXPECT_EQ(picker.currentSize(), 72);
}

} // namespace
