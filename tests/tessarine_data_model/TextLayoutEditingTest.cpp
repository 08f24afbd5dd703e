#include <gtest/gtest.h>

#include <QImage>
#include <QTextLayout>

#include "foundation/FontSubstitution.h"

#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

AttributedText text(const QString& string, double size = 20)
{
    TextAttributes attributes;
    attributes.fontName = QStringLiteral("HelveticaNeue");
    attributes.fontSize = size;
    return AttributedText(string, attributes);
}

TEST(TextLayoutEditing, CaretStepsTreatBreaksAndGraphemesAsOneStep)
{
    const TextLayout crlf(text(QStringLiteral("ab\r\ncd")), 300);
    EXPECT_EQ(crlf.nextCursorPosition(2), 4);
    EXPECT_EQ(crlf.previousCursorPosition(4), 2);
    EXPECT_EQ(crlf.nextCursorPosition(6), 6);
    EXPECT_EQ(crlf.previousCursorPosition(0), 0);

    const TextLayout combining(text(QString::fromUtf16(u"e\u0301x")), 300);
    EXPECT_EQ(combining.nextCursorPosition(0), 2);
    EXPECT_EQ(combining.previousCursorPosition(2), 0);

    const TextLayout words(text(QStringLiteral("one two three")), 600);
    EXPECT_EQ(words.nextWordPosition(0), 4);
    EXPECT_EQ(words.nextWordPosition(4), 8);
    EXPECT_EQ(words.nextWordPosition(8), 13);
    EXPECT_EQ(words.previousWordPosition(13), 8);
    EXPECT_EQ(words.previousWordPosition(5), 4);
    EXPECT_EQ(words.wordRangeAt(5), (TextRange{4, 3}));
}

TEST(TextLayoutEditing, AFinalBreakOpensAnEmptyLineForTheCaretButNotForTheUsedHeight)
{
    const TextLayout withBreak(text(QStringLiteral("ab\n")), 300);
    const TextLayout without(text(QStringLiteral("ab")), 300);
    EXPECT_DOUBLE_EQ(withBreak.usedRect().height(), without.usedRect().height());
    const QRectF caret = withBreak.caretRect(3);
    EXPECT_DOUBLE_EQ(caret.top(), withBreak.usedRect().bottom());
    EXPECT_GT(caret.height(), 0);
    EXPECT_EQ(withBreak.indexAt(QPointF(50, caret.center().y())), 3);
    EXPECT_EQ(withBreak.lineBelow(1), 3);
    EXPECT_EQ(withBreak.lineAbove(3), 0);
    EXPECT_EQ(withBreak.previousCursorPosition(3), 2);

    const TextLayout empty(text(QString()), 300);
    EXPECT_GT(empty.caretRect(0).height(), 0);
    EXPECT_EQ(empty.indexAt(QPointF(10, 10)), 0);
    EXPECT_EQ(empty.nextCursorPosition(0), 0);
    EXPECT_EQ(empty.lineBelow(0), 0);
}

TEST(TextLayoutEditing, WrappedLinesHaveTheirOwnEndsAndVerticalNeighbours)
{
    const QString string = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa");
    const TextLayout layout(text(string), 120);
    const qsizetype secondStart = layout.lineEnd(0) + 1; // after the space the first line broke at
    ASSERT_GT(secondStart, 1);
    ASSERT_LT(secondStart, string.size());
    EXPECT_EQ(layout.lineStart(secondStart + 1), secondStart);
    EXPECT_TRUE(string[layout.lineEnd(0)].isSpace());
    EXPECT_GT(layout.caretRect(secondStart).top(), layout.caretRect(0).top());
    // Down from the start of the first line lands at the start of the second; up comes back.
    EXPECT_EQ(layout.lineBelow(0), secondStart);
    EXPECT_EQ(layout.lineAbove(secondStart), 0);
    EXPECT_EQ(layout.indexAt(QPointF(0, layout.caretRect(secondStart).center().y())), secondStart);
    // A selection over both lines is highlighted on both; an empty one nowhere.
    EXPECT_EQ(layout.selectionRects({0, secondStart + 2}).size(), 2u);
    EXPECT_TRUE(layout.selectionRects({3, 0}).empty());
    EXPECT_EQ(layout.paragraphRange(secondStart), (TextRange{0, string.size()}));
}

class FakeAttachedView : public AttachedTextView {
public:
    explicit FakeAttachedView(double height)
        : m_height(height)
    {
    }
    TextRange selectedRange() const override { return {}; }
    bool isEditable() const override { return false; }
    TextAttributes typingAttributes() const override { return {}; }
    void setTypingAttributes(const TextAttributes&) override {}
    QColor insertionPointColor() const override { return Qt::black; }
    std::shared_ptr<QVR_TextStorage> textStorage() const override { return nullptr; }
    QRectF usedRectForWidth(double width) override
    {
        lastWidth = width;
        return QRectF(0, 0, 50, m_height);
    }
    double lastWidth = 0;

private:
    double m_height;
};

TEST(TextLayoutEditing, TheLastAttachedViewMeasuresWithRoomBelowTheText)
{
    ZERI_MMObject_Text object;
    object.setAttributedString(text(QStringLiteral("Hello")));
    const double bare = object.layoutManagerUsedRectForWidth(300).height();
    ASSERT_GT(bare, 0);
    FakeAttachedView first(33);
    FakeAttachedView second(77);
    object.registerAttachedTextView(&first);
    object.registerAttachedTextView(&second);
    object.registerAttachedTextView(&first); // taking over moves it to the end
    EXPECT_EQ(object.currentAttachedTextView(), &first);
    EXPECT_DOUBLE_EQ(object.layoutManagerUsedRectForWidth(300).height(), double(33.0f * 1.1f));
    EXPECT_DOUBLE_EQ(first.lastWidth, 300);
    object.unregisterAttachedTextView(&first);
    EXPECT_EQ(object.currentAttachedTextView(), &second);
    object.unregisterAttachedTextView(&first); // only itself, and only once
    EXPECT_EQ(object.currentAttachedTextView(), &second);
    object.unregisterAttachedTextView(&second);
    EXPECT_DOUBLE_EQ(object.layoutManagerUsedRectForWidth(300).height(), bare);
}

} // namespace

namespace {

// Where Qt's own layout (at word boundaries, anywhere inside a word too wide for a line) starts each line.
std::vector<qsizetype> qtLineStarts(const QString& string, double size, double width)
{
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(2835);
    device.setDotsPerMeterY(2835);
    QTextLayout layout(string, FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue"), size), &device);
    QTextOption option(Qt::AlignLeading);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<qsizetype> starts;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        starts.push_back(line.textStart());
    }
    layout.endLayout();
    return starts;
}

// The same from a text layout, through the caret: each index whose caret sits lower than the one before.
std::vector<qsizetype> lineStarts(const TextLayout& layout)
{
    std::vector<qsizetype> starts{0};
    double y = layout.caretRect(0).y();
    for (qsizetype i = 1; i < layout.textLength(); ++i) {
        const double next = layout.caretRect(i).y();
        if (next > y)
            starts.push_back(i);
        y = next;
    }
    return starts;
}

} // namespace

TEST(TextLayoutEditing, WordsLongerThanALineBreakExactlyWhereQtBreaksThem)
{
    // Ordinary words around words of every length: shorter than a line, between one and two lines, many lines.
    QString string;
    for (int i = 0; i < 12; ++i)
        string += QStringLiteral("Lorem ipsum dolor sit amet, ");
    string += QString(3000, QLatin1Char('W')) + QStringLiteral(" tail ");
    string += QString(40, QLatin1Char('m')) + QLatin1Char(' ') + QString(700, QLatin1Char('i'));
    string += QStringLiteral(" consectetur ") + QString(260, QLatin1Char('x')) + QStringLiteral(" adipiscing elit");
    for (const double width : {300.0, 97.5}) {
        const TextLayout layout(text(string), width);
        const auto expected = qtLineStarts(string, 20, width);
        ASSERT_GT(expected.size(), 20u);
        EXPECT_EQ(lineStarts(layout), expected) << "width " << width;
    }
}
