#include <gtest/gtest.h>

#include "pptx/converter/PptxTextBuilder.h"

namespace {

PptxTextStyle style(int size, int bulletType = 0, int level = 1, const QString& bullet = {}, const QString& color = {})
{
    PptxTextStyle s;
    s.latinTypeface = QStringLiteral("Face%1").arg(size);
    s.size = size;
    s.bulletType = bulletType;
    s.level = level;
    s.bulletCharacter = bullet;
    s.color = color;
    return s;
}

PptxTextRun textRun(const QString& text, std::optional<PptxTextStyle> s = std::nullopt)
{
    PptxTextRun r;
    r.text = text;
    r.style = std::move(s);
    return r;
}

PptxTextRun lineBreak()
{
    PptxTextRun r;
    r.lineBreak = true;
    return r;
}

QString fontOf(const std::optional<PptxTextStyle>& s)
{
    return s ? s->latinTypeface : QStringLiteral("Unstyled");
}

} // namespace

TEST(PptxTextBuilder, ParagraphsJoinWithNewlinesAndListParagraphsTakeTheirIndentAndBullet)
{
    std::vector<PptxParagraph> paragraphs(5);
    paragraphs[0].runs = {textRun(QStringLiteral("Title"))};
    // A character bullet at level 2: eight blanks, the dash and a blank, in the run's style.
    paragraphs[1].style = style(28, 3, 2, QStringLiteral("\u2013"), QStringLiteral("FF0000"));
    paragraphs[1].runs = {textRun(QStringLiteral("an "), style(20)), textRun(QStringLiteral("item"))};
    // Nothing contributes: not even the newline.
    paragraphs[2].style = style(24, 3, 1, QStringLiteral("*"));
    paragraphs[2].runs = {textRun(QString())};
    // A line break inside a paragraph, and a numbered paragraph shown with the plain bullet.
    paragraphs[3].runs = {textRun(QStringLiteral("a")), lineBreak(), textRun(QStringLiteral("b"))};
    paragraphs[4].style = style(32, 4, 1);
    paragraphs[4].runs = {textRun(QStringLiteral("first"))};

    const AttributedText text = PptxTextBuilder::attributedText(paragraphs, true, fontOf);
    EXPECT_EQ(text.string(), QStringLiteral("Title\n        \u2013 an item\na\nb\n    \u2022 first"));

    const auto at = [&](const QString& piece) { return *text.attributesAtIndex(text.string().indexOf(piece)); };
    EXPECT_EQ(at(QStringLiteral("Title")).fontName, QStringLiteral("Unstyled"));
    EXPECT_EQ(at(QStringLiteral("Title")).fontSize, PptxTextBuilder::kDefaultFontSize) << "no size gives 12 pt";
    EXPECT_FALSE(at(QStringLiteral("Title")).foregroundColor.isValid());
    // The newline, indent and bullet carry the first run's attributes.
    const TextAttributes lead = *text.attributesAtIndex(5);
    EXPECT_EQ(lead.fontName, QStringLiteral("Face20"));
    EXPECT_EQ(lead.fontSize, 20);
    EXPECT_EQ(at(QStringLiteral("item")).fontName, QStringLiteral("Face28"))
        << "a run without style takes the paragraph's";
    EXPECT_EQ(at(QStringLiteral("item")).foregroundColor, QColor(255, 0, 0));
    EXPECT_EQ(at(QStringLiteral("first")).fontSize, 32);
    for (const auto& run : text.runs())
        EXPECT_EQ(run.attributes.alignment, TextAttributes::Left);
}

TEST(PptxTextBuilder, BulletCharactersStandOnlyInDecksDeclaredUtf8)
{
    std::vector<PptxParagraph> paragraphs(1);
    paragraphs[0].style = style(24, 3, 2, QStringLiteral("\u2013"));
    paragraphs[0].runs = {textRun(QStringLiteral("x"))};
    EXPECT_EQ(PptxTextBuilder::attributedText(paragraphs, false, fontOf).string(), QStringLiteral("        \u2022 x"));
    paragraphs[0].style->bulletCharacter.clear();
    EXPECT_EQ(PptxTextBuilder::attributedText(paragraphs, true, fontOf).string(), QStringLiteral("        \u2022 x"));
    // A symbol font's own glyph (as another program writes its default bullet) has no meaning in another font.
    paragraphs[0].style->bulletCharacter = QStringLiteral("\uF0B7");
    EXPECT_EQ(PptxTextBuilder::attributedText(paragraphs, true, fontOf).string(), QStringLiteral("        \u2022 x"));
    // Empty shapes give empty text rather than a stray run.
    EXPECT_EQ(PptxTextBuilder::attributedText({}, true, fontOf).length(), 0);
}
