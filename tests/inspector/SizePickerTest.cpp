#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "controls/QVR_StretchableBorderView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/pickers/QVRSizePicker.h"
#include "support/UserInput.h"

namespace {

class SizePickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        picker.onSizeChanged = [this](int size) { reports.append(size); };
        picker.setCurrentSize(30);
    }
    // Selects the whole field and types over it, key by key.
    void type(const QString& text)
    {
        QTest::keyClick(picker.field(), Qt::Key_A, Qt::ControlModifier);
        UserInput::typeText(picker.field(), text);
    }
    // Selects the whole field and pastes over it: one edit.
    void paste(const QString& text)
    {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(picker.field(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(picker.field(), Qt::Key_V, Qt::ControlModifier);
    }
    void key(Qt::Key which) { QTest::keyClick(picker.field(), which); }

    QVRSizePicker picker;
    QList<int> reports;
};

TEST_F(SizePickerTest, BadTextPutsTheLastSizeBackWithoutCallingBack)
{
    for (const QString& text : {QStringLiteral("501"), QStringLiteral(".5"), QStringLiteral("0"), QStringLiteral("abc"),
                                QStringLiteral("-4"), QStringLiteral("4 8"), QString(1000, QLatin1Char('9'))}) {
        paste(text);
        EXPECT_EQ(picker.field()->text(), QStringLiteral("30")) << text.left(10).toStdString();
    }
    EXPECT_TRUE(reports.isEmpty());
    paste(QStringLiteral("500"));
    EXPECT_EQ(reports, QList<int>{500});
    // Clearing the field is refused too: the size stays shown. Deleting one digit leaves a size.
    QTest::keyClick(picker.field(), Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    EXPECT_EQ(picker.field()->text(), QStringLiteral("500"));
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    EXPECT_EQ(reports, (QList<int>{500, 50}));
}

TEST_F(SizePickerTest, EachKeystrokeIsReadAtOnce)
{
    type(QStringLiteral("48"));
    EXPECT_EQ(reports, (QList<int>{4, 48}));
    EXPECT_EQ(picker.currentSize(), 48);
    // The third digit would pass the largest size: the field goes back to the last one accepted.
    type(QStringLiteral("501"));
    EXPECT_EQ(reports, (QList<int>{4, 48, 5, 50}));
    EXPECT_EQ(picker.field()->text(), QStringLiteral("50"));
    // A point ends the number: it stays in the field, and what follows it changes nothing.
    UserInput::typeText(picker.field(), QStringLiteral(".x"));
    EXPECT_EQ(picker.field()->text(), QStringLiteral("50.x"));
    EXPECT_EQ(reports.size(), 4);
    // Leaving the field reports nothing more and shows the size.
    emit picker.field()->editingFinished();
    EXPECT_EQ(reports.size(), 4);
    EXPECT_EQ(picker.field()->text(), QStringLiteral("50"));
}

TEST_F(SizePickerTest, ADecimalSeparatorEndsTheSizeInAnyLocale)
{
    for (const QLocale& locale : {QLocale(QLocale::German), QLocale(QLocale::English)}) {
        const QLocale previous;
        QLocale::setDefault(locale);
        reports.clear();
        picker.setCurrentSize(30);
        // "12,5" and "12.5" typed key by key both mean 12, never 125.
        for (const QString& text : {QStringLiteral("12,5"), QStringLiteral("12.5")}) {
            type(text);
            EXPECT_EQ(picker.currentSize(), 12) << text.toStdString();
            EXPECT_EQ(picker.field()->text(), text);
            emit picker.field()->editingFinished();
            EXPECT_EQ(picker.field()->text(), QStringLiteral("12"));
        }
        EXPECT_EQ(reports, (QList<int>{1, 12, 1, 12}));
        QLocale::setDefault(previous);
    }
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

    // A size from elsewhere beyond the range is shown as it is; Down brings it back into the range.
    picker.setCurrentSize(600);
    EXPECT_EQ(picker.field()->text(), QStringLiteral("600"));
    key(Qt::Key_Up);
    EXPECT_EQ(reports, QList<int>{500});
    key(Qt::Key_Down);
    EXPECT_EQ(reports, (QList<int>{500, 599}));
}

TEST_F(SizePickerTest, BlankFieldMenuAndSetterNeverCallingBack)
{
    picker.setCurrentSize(0);
    EXPECT_EQ(picker.field()->text(), QStringLiteral(" "));
    // A blank field (several sizes at once) has no size to step from.
    key(Qt::Key_Up);
    key(Qt::Key_Down);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(picker.field()->text(), QStringLiteral(" "));
    // Typed after the blank's space.
    QTest::keyClick(picker.field(), Qt::Key_End);
    UserInput::typeText(picker.field(), QStringLiteral("9"));
    EXPECT_EQ(reports, QList<int>{9});
    EXPECT_EQ(picker.field()->text(), QStringLiteral("9"));

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

TEST_F(SizePickerTest, ArrowOpensTheMenuAndTheLookFollowsTheDock)
{
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    // The arrow sits at the right end, over the field's end.
    EXPECT_EQ(picker.arrowButton()->geometry().right(), picker.width() - 1);
    EXPECT_TRUE(picker.field()->geometry().intersects(picker.arrowButton()->geometry()));
    QTest::mouseClick(picker.arrowButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return picker.menu()->isVisible(); }, 1000));
    picker.menu()->hide();

    EXPECT_TRUE(picker.findChildren<QVR_StretchableBorderView*>().isEmpty());
    picker.setDocked(false);
    const auto borders = picker.findChildren<QVR_StretchableBorderView*>();
    ASSERT_EQ(borders.size(), 1);
    EXPECT_EQ(borders.front()->geometry().height(), picker.field()->height());
    picker.setDocked(true);
    EXPECT_TRUE(picker.findChildren<QVR_StretchableBorderView*>().isEmpty());
}

} // namespace
