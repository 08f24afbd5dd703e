#include <gtest/gtest.h>

#include <functional>

#include <QImage>
#include <QRegularExpression>
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

// Runs and paragraphs do not line up: a run may end inside a paragraph, span several, or start in one and end in
// the next. Each paragraph must get exactly the pieces of the runs that cover it, in the layout and in the HTML.
TEST(TextLayoutEditing, RunsThatCrossParagraphsStyleEachParagraphTheyCover)
{
    // "a\nbb\nccc\ndd\ne": 10 pt over "a\nb", 40 pt over "b\nc", 20 pt over "cc\ndd\n", 30 pt over "e".
    AttributedText string = text(QStringLiteral("a\nbb\nccc\ndd\ne"));
    const auto sized = [&](double size, TextRange range) {
        TextAttributes attributes;
        attributes.fontName = QStringLiteral("HelveticaNeue");
        attributes.fontSize = size;
        string.setAttributes(attributes, range);
    };
    sized(10, {0, 3});
    sized(40, {3, 3});
    sized(20, {6, 6});
    sized(30, {12, 1});
    ASSERT_EQ(string.runs().size(), 4u);

    const TextLayout layout(string, 600);
    const auto height = [](double size) {
        return TextLayout::lineHeightForFont(QStringLiteral("HelveticaNeue"), size);
    };
    EXPECT_NEAR(layout.paragraphRect(0).height(), height(10), 0.5);
    EXPECT_NEAR(layout.paragraphRect(2).height(), height(40), 0.5);
    EXPECT_NEAR(layout.paragraphRect(5).height(), height(40), 0.5);
    EXPECT_NEAR(layout.paragraphRect(9).height(), height(20), 0.5);
    EXPECT_NEAR(layout.paragraphRect(12).height(), height(30), 0.5);
    EXPECT_NEAR(layout.usedRect().height(), height(10) + 2 * height(40) + height(20) + height(30), 2.5);

    const QString html = ZERI_MMObject_Text::htmlSerializeAttributedString(string, {});
    static const QRegularExpression span(QStringLiteral("font-size:(\\d+)pt[^>]*>([^<]*)</span>"));
    QStringList paragraphs;
    for (const QString& paragraph : html.split(QStringLiteral("</p>"))) {
        QStringList pieces;
        for (auto it = span.globalMatch(paragraph); it.hasNext();) {
            const auto match = it.next();
            pieces << match.captured(1) + u':' + match.captured(2);
        }
        if (!pieces.isEmpty())
            paragraphs << pieces.join(u' ');
    }
    EXPECT_EQ(paragraphs, QStringList({QStringLiteral("10:a"), QStringLiteral("10:b 40:b"),
                                       QStringLiteral("40:c 20:cc"), QStringLiteral("20:dd"), QStringLiteral("30:e")}));
}

// A layout made from the one before an edit takes over the paragraphs the edit left alone; it must be the layout
// a fresh one would be, whether the edit typed into a paragraph, split one, joined two or restyled one.
TEST(TextLayoutEditing, ALayoutAfterAnEditIsTheLayoutOfTheEditedText)
{
    AttributedText string = text(QStringLiteral("first paragraph\nsecond one wraps over the line at this width\n"
                                                "third\n\nfifth and last"));
    TextAttributes large;
    large.fontName = QStringLiteral("HelveticaNeue");
    large.fontSize = 36;
    const auto expectSame = [](const TextLayout& edited, const TextLayout& fresh, const char* edit) {
        SCOPED_TRACE(edit);
        EXPECT_EQ(edited.usedRect(), fresh.usedRect());
        ASSERT_EQ(edited.textLength(), fresh.textLength());
        for (qsizetype i = 0; i <= fresh.textLength(); ++i) {
            EXPECT_EQ(edited.caretRect(i), fresh.caretRect(i)) << i;
            EXPECT_EQ(edited.paragraphRange(i), fresh.paragraphRange(i)) << i;
        }
        EXPECT_EQ(edited.indexAt(QPointF(30, fresh.usedRect().bottom() - 5)),
                  fresh.indexAt(QPointF(30, fresh.usedRect().bottom() - 5)));
    };
    auto layout = std::make_unique<TextLayout>(string, 200);
    const auto edit = [&](const char* what, const std::function<void()>& change) {
        change();
        layout = std::make_unique<TextLayout>(string, 200, TextFrameAttributes(), std::move(*layout));
        expectSame(*layout, TextLayout(string, 200), what);
    };
    edit("typing in the second paragraph", [&] { string.replaceCharacters({20, 0}, QStringLiteral("xyz")); });
    edit("splitting the first", [&] { string.replaceCharacters({5, 0}, QStringLiteral("\n")); });
    edit("joining the third and fourth", [&] {
        string.replaceCharacters({string.string().indexOf(u"third") + 5, 1}, {});
    });
    edit("restyling the last", [&] { string.setAttributes(large, {string.length() - 4, 4}); });
    edit("typing at the end", [&] { string.replaceCharacters({string.length(), 0}, QStringLiteral(" more")); });

    // Another width lays everything out afresh.
    layout = std::make_unique<TextLayout>(string, 120, TextFrameAttributes(), std::move(*layout));
    expectSame(*layout, TextLayout(string, 120), "a narrower box");
}
