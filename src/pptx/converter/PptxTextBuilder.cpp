#include "pptx/converter/PptxTextBuilder.h"

#include <algorithm>
#include <cmath>

#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

namespace PptxTextBuilder {

namespace {

// The reader's bullet kinds from "picture" on draw a bullet; "character" may carry its own sign.
constexpr int kFirstDrawnBullet = 2;
constexpr int kCharacterBullet = 3;

QString bulletPrefix(const PptxTextStyle& style, bool declaredUtf8)
{
    QString prefix = QString(4 * std::max(1, style.level), QLatin1Char(' '));
    // A character of the private use area is a symbol font's own glyph (as decks name their Symbol and Wingdings
    // bullets): no other font draws it, so it is shown as the plain bullet.
    const bool ownGlyph = std::any_of(style.bulletCharacter.cbegin(), style.bulletCharacter.cend(),
                                      [](QChar c) { return c.category() == QChar::Other_PrivateUse; });
    if (declaredUtf8 && style.bulletType == kCharacterBullet && !style.bulletCharacter.isEmpty() && !ownGlyph)
        return prefix + style.bulletCharacter + QLatin1Char(' ');
    return prefix + QStringLiteral("\u2022 ");
}

TextAttributes attributesFor(const std::optional<PptxTextStyle>& style,
                             const std::function<QString(const std::optional<PptxTextStyle>&)>& fontFor,
                             double sizeScale)
{
    TextAttributes attributes;
    attributes.fontName = fontFor(style);
    // To a hundredth of a point, so that a scaled size reads as it should (22.4, not 22.400000000000002).
    attributes.fontSize =
        std::round((style && style->size > 0 ? double(style->size) : kDefaultFontSize) * sizeScale * 100) / 100;
    attributes.alignment = TextAttributes::Left;
    if (style && !style->color.isEmpty()) {
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBHexString(style->color))
            attributes.foregroundColor = *color;
    }
    return attributes;
}

} // namespace

AttributedText attributedText(const std::vector<PptxParagraph>& paragraphs, bool declaredUtf8,
                              const std::function<QString(const std::optional<PptxTextStyle>&)>& fontFor,
                              double sizeScale)
{
    QString text;
    std::vector<std::pair<TextRange, TextAttributes>> pieces;
    for (const PptxParagraph& paragraph : paragraphs) {
        QString prefix = text.isEmpty() ? QString() : QStringLiteral("\n");
        if (paragraph.style && paragraph.style->bulletType >= kFirstDrawnBullet)
            prefix += bulletPrefix(*paragraph.style, declaredUtf8);
        bool first = true;
        for (const PptxTextRun& run : paragraph.runs) {
            QString piece = run.lineBreak ? QStringLiteral("\n") : run.text;
            if (piece.isEmpty())
                continue;
            if (first) {
                piece.prepend(prefix);
                first = false;
            }
            pieces.emplace_back(TextRange{text.size(), piece.size()},
                                attributesFor(run.style ? run.style : paragraph.style, fontFor, sizeScale));
            text += piece;
        }
    }
    if (text.isEmpty())
        return AttributedText();
    AttributedText result(text, pieces.front().second);
    for (const auto& [range, attributes] : pieces)
        result.setAttributes(attributes, range);
    return result;
}

} // namespace PptxTextBuilder
