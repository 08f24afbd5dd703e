#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "controls/QVR_StretchableBorderView.h"
#include "elements/text/FontList.h"
#include "inspector/pickers/QVRFontPicker_v2.h"

namespace {

DocumentFont font(const QString& postScriptName, const QString& family)
{
    return DocumentFont{postScriptName, 12, family, QFont()};
}

class FontPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        list.setList({font("Zeta-Regular", "Zeta"), font("OstrichSans-Medium", "Ostrich Sans"),
                      font("FooBar-Bold", "Foo Bar"), font("FooBar-Regular", "Foo Bar"),
                      font("DemingEP-Regular", "Deming EP"), font("Alpha-Black", "Alpha"),
                      font("Alpha-Light", "Alpha")});
        picker.setFontList(&list);
        picker.onFontChanged = [this](const QString& name) { reports.append(name); };
    }
    void chooseFamily(const QString& family)
    {
        const int index = picker.familyBox()->findText(family);
        picker.familyBox()->setCurrentIndex(index);
        emit picker.familyBox()->activated(index);
    }
    void chooseFace(const QString& face)
    {
        const int index = picker.faceBox()->findText(face);
        picker.faceBox()->setCurrentIndex(index);
        emit picker.faceBox()->activated(index);
    }

    FontList list;
    QVRFontPicker_v2 picker;
    QStringList reports;
};

TEST_F(FontPickerTest, StartsSortedOnTheFirstFamilyWithItsDefaultFace)
{
    QStringList shown;
    for (int i = 0; i < picker.familyBox()->count(); ++i)
        shown << picker.familyBox()->itemText(i);
    EXPECT_EQ(shown, (QStringList{"Alpha", "Deming EP", "Foo Bar", "Ostrich Sans", "Zeta"}));
    EXPECT_EQ(picker.familyBox()->currentText(), QStringLiteral("Alpha"));
    // A family is never shown with an empty face menu.
    EXPECT_EQ(picker.faceBox()->count(), 2);
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Black"));
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(FontPickerTest, FamiliesReportTheirDefaultFaceOnceAndFacesReportEachChoice)
{
    chooseFamily("Foo Bar");
    EXPECT_EQ(reports, QStringList{"FooBar-Regular"});
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Regular"));
    chooseFamily("Foo Bar");
    EXPECT_EQ(reports.size(), 1);
    chooseFace("Regular");
    chooseFace("Bold");
    EXPECT_EQ(reports, (QStringList{"FooBar-Regular", "FooBar-Regular", "FooBar-Bold"}));
    chooseFamily("Alpha");
    EXPECT_EQ(reports.last(), QStringLiteral("Alpha-Black"));
}

TEST_F(FontPickerTest, TabReachesBothMenusAndTheArrowsPick)
{
    // A field before the picker, as the size field stands beside it in the text popover.
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* shown = new QVRFontPicker_v2(&window);
    shown->setFontList(&list);
    shown->onFontChanged = [this](const QString& name) { reports.append(name); };
    shown->move(0, 40);
    window.show();
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_EQ(window.focusWidget(), shown->familyBox());
    QTest::keyClick(shown->familyBox(), Qt::Key_Down);
    EXPECT_EQ(reports, QStringList{"DemingEP-Regular"});
    QTest::keyClick(shown->familyBox(), Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), shown->faceBox());
}

TEST_F(FontPickerTest, SelectingShowsTheCataloguedFamilyAndIgnoresUnknownFonts)
{
    // The family holds a space and the PostScript name a dash: neither is split to find the other.
    picker.setSelectedFont(font("FooBar-Bold", "Foo Bar"));
    EXPECT_EQ(picker.familyBox()->currentText(), QStringLiteral("Foo Bar"));
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Bold"));

    picker.setSelectedFont(font("Missing-Bold", "Missing"));
    picker.setSelectedFont(font("Zeta-Italic", "Zeta"));
    EXPECT_EQ(picker.familyBox()->currentText(), QStringLiteral("Foo Bar"));
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Bold"));
    EXPECT_TRUE(reports.isEmpty());

    FontList empty;
    picker.setFontList(&empty);
    picker.setSelectedFont(font("FooBar-Bold", "Foo Bar"));
    EXPECT_EQ(picker.familyBox()->count(), 0);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(FontPickerTest, FamilyItemsAreDrawnInTheirOwnFontAtTheirMenuSize)
{
    EXPECT_FALSE(picker.familyBox()->itemData(0, Qt::FontRole).isValid());
    picker.styleFamilyItems();
    auto sizeOf = [this](const QString& family) {
        const int index = picker.familyBox()->findText(family);
        return picker.familyBox()->itemData(index, Qt::FontRole).value<QFont>().pointSizeF();
    };
    EXPECT_DOUBLE_EQ(sizeOf("Ostrich Sans"), 12);
    EXPECT_DOUBLE_EQ(sizeOf("Deming EP"), 9);
    EXPECT_DOUBLE_EQ(sizeOf("Zeta"), 11);
    EXPECT_EQ(picker.familyBox()->font().pixelSize(), 11);
}

TEST_F(FontPickerTest, DockedPickerDrawsItsDarkBorder)
{
    picker.resize(picker.sizeHint());
    const QColor edge = picker.grab().toImage().pixelColor(0, picker.height() / 2);
    EXPECT_NEAR(edge.red(), 0x51, 3);
    EXPECT_NEAR(edge.green(), 0x51, 3);
    EXPECT_NEAR(edge.blue(), 0x51, 3);

    // Floating, the panel border sits behind the menus; docking again removes it.
    picker.setDocked(false);
    const auto borders = picker.findChildren<QVR_StretchableBorderView*>();
    ASSERT_EQ(borders.size(), 1);
    EXPECT_EQ(borders.front()->geometry(), picker.rect());
    EXPECT_FALSE(borders.front()->isDocked());
    picker.setDocked(true);
    EXPECT_TRUE(picker.findChildren<QVR_StretchableBorderView*>().isEmpty());
}

} // namespace

TEST(FontPickerLook, TheFamilyTitleStaysClearOfItsArrow)
{
    FontList list;
    list.setList(FontList::documentFontsForNames({QStringLiteral("HelveticaNeue-Light")}, 12));
    ASSERT_EQ(list.familyList(), QStringList{"Helvetica Neue"});
    QWidget host;
    QVRFontPicker_v2 picker(&host);
    picker.setFontList(&list);
    host.resize(300, 80);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QImage shown = picker.grab().toImage();
    const QRect box = picker.familyBox()->geometry();
    // The title's ink (dark) shows in the box and stops before the arrow at its right end; the box's border
    // is not looked at.
    const auto inkIn = [&](int left, int right) {
        int ink = 0;
        for (int y = box.top() + 2; y <= box.bottom() - 2; ++y)
            for (int x = left; x < right; ++x)
                ink += qGray(shown.pixel(x, y)) < 110;
        return ink;
    };
    const int arrowLeft = box.right() + 1 - QVRFontPicker_v2::kArrowSize.width();
    EXPECT_GT(inkIn(box.left(), arrowLeft), 20);
    // A clipped name runs into the last columns before the arrow; a whole one ends before them.
    EXPECT_EQ(inkIn(arrowLeft - 4, box.right() - 1), 0);
}

// Floating, the family menu sits inside the panel border's rounded edge, and its opened menu is wide enough for
// every family's name in that family's own font.
TEST(FontPickerLook, TheFloatingFamilyMenuStaysInsideItsBorderAndOpensWideEnough)
{
    FontList list;
    list.setList(FontList::documentFontsForNames(
        {QStringLiteral("HelveticaNeue-Light"), QStringLiteral("TimesNewRomanPSMT"), QStringLiteral("Georgia")}, 12));
    QWidget host;
    QVRFontPicker_v2 picker(&host);
    picker.setFontList(&list);
    picker.setDocked(false);
    host.resize(300, 80);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    // The border's rounded edge: its outermost opaque column in the picker's middle row.
    const QImage border = QVR_StretchableBorderView::borderImage(false, 1.0).toImage();
    int edge = 0;
    while (edge < border.width() && qAlpha(border.pixel(edge, border.height() / 2)) < 255)
        ++edge;
    EXPECT_GE(picker.familyBox()->geometry().left(), edge);
    EXPECT_LE(picker.faceBox()->geometry().right(), picker.width() - 1 - edge);

    picker.familyBox()->showPopup();
    QAbstractItemView* menu = picker.familyBox()->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    for (int index = 0; index < picker.familyBox()->count(); ++index) {
        const QFont font = picker.familyBox()->itemData(index, Qt::FontRole).value<QFont>();
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(picker.familyBox()->itemText(index)) + 16,
                  menu->viewport()->width())
            << picker.familyBox()->itemText(index).toStdString();
    }
    picker.familyBox()->hidePopup();
}

TEST(FontPickerLook, TheFaceMenuOpensWideEnoughForItsLongestName)
{
    FontList list;
    list.setList({font("Zeta-Regular", "Zeta"), font("Zeta-UltraCondensedExtraBoldItalic", "Zeta"),
                  font("Zeta-SemiCondensedLightOblique", "Zeta")});
    QWidget host;
    QVRFontPicker_v2 picker(&host);
    picker.setFontList(&list);
    picker.setSelectedFont(font("Zeta-Regular", "Zeta"));
    host.resize(300, 80);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    ASSERT_EQ(picker.faceBox()->count(), 3);
    picker.faceBox()->showPopup();
    QAbstractItemView* menu = picker.faceBox()->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    for (int index = 0; index < picker.faceBox()->count(); ++index) {
        const QVariant itemFont = picker.faceBox()->itemData(index, Qt::FontRole);
        const QFont shown = itemFont.isValid() ? itemFont.value<QFont>() : menu->font();
        EXPECT_LE(QFontMetrics(shown).horizontalAdvance(picker.faceBox()->itemText(index)) + 16,
                  menu->viewport()->width())
            << picker.faceBox()->itemText(index).toStdString();
    }
    picker.faceBox()->hidePopup();
}

TEST_F(FontPickerTest, MixedFontsShowNoFamilyUntilOneIsPicked)
{
    picker.setSelectedFont(font("FooBar-Bold", "Foo Bar"));
    picker.showNoFontChosen();
    EXPECT_EQ(picker.familyBox()->currentIndex(), -1);
    EXPECT_TRUE(picker.familyBox()->currentText().isEmpty());
    EXPECT_EQ(picker.faceBox()->count(), 0);
    EXPECT_TRUE(picker.currentFontName().isEmpty());
    EXPECT_TRUE(reports.isEmpty());
    // Picking the family shown before is a pick all the same: the whole text takes it.
    chooseFamily("Foo Bar");
    EXPECT_EQ(reports, QStringList{"FooBar-Regular"});
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Regular"));
    picker.showNoFontChosen();
    picker.setSelectedFont(font("Alpha-Light", "Alpha"));
    EXPECT_EQ(picker.familyBox()->currentText(), QStringLiteral("Alpha"));
    EXPECT_EQ(picker.faceBox()->currentText(), QStringLiteral("Light"));
}
