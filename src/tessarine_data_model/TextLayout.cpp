#include "tessarine_data_model/TextLayout.h"

#include <cmath>

#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "foundation/FontSubstitution.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

// Point sizes become pixel sizes through the layout's paint device: one at 72 dpi makes them equal. Only its
// resolution is ever read, so all threads may share it.
const QPaintDevice* seventyTwoDpiDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(2835); // 72.009 dpi, which QImage reports as 72
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

Qt::Alignment qtAlignment(int alignment)
{
    switch (alignment) {
    case TextAttributes::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case TextAttributes::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextAttributes::Center:
        return Qt::AlignHCenter;
    case TextAttributes::Justified:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeading; // natural
    }
}

QTextCharFormat charFormat(const TextAttributes& attributes)
{
    const QString name = attributes.fontName.isEmpty() ? ZERI_MMObject_Text::defaultFontName() : attributes.fontName;
    const double size = attributes.fontSize > 0 ? attributes.fontSize : ZERI_MMObject_Text::defaultFontSize();
    QTextCharFormat format;
    format.setFont(FontSubstitution::fontForPostScriptName(name, size));
    format.setForeground(attributes.foregroundColor.isValid() ? attributes.foregroundColor : QColor(Qt::black));
    return format;
}

} // namespace

TextLayout::TextLayout(const AttributedText& string, double width, const TextFrameAttributes& attributes)
{
    if (!std::isfinite(width) || width <= 0 || string.length() == 0)
        return;
    const QString& text = string.string();
    const double multiple = attributes.lineHeightMultiple > 0 ? attributes.lineHeightMultiple : 1.0;
    double y = 0;
    bool haveInk = false;
    QRectF used;

    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isParagraphBreak(text[end]))
            ++end;
        // A break at the very end of the text opens no further line.
        if (start == text.size() && start > 0)
            break;
        const TextAttributes first =
            string.attributesAtIndex(std::min(start, text.size() - 1)).value_or(TextAttributes());

        auto layout = std::make_unique<QTextLayout>(text.mid(start, end - start), charFormat(first).font(),
                                                    seventyTwoDpiDevice());
        QList<QTextLayout::FormatRange> formats;
        for (const AttributedText::Run& run : string.runs()) {
            const qsizetype from = std::max(run.range.location, start);
            const qsizetype to = std::min(run.range.end(), end);
            if (from < to)
                formats.append({int(from - start), int(to - from), charFormat(run.attributes)});
        }
        layout->setFormats(formats);
        QTextOption option(qtAlignment(first.alignment));
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);

        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            const QRectF ink = line.naturalTextRect();
            if (ink.width() > 0) {
                used = haveInk ? used.united(ink) : ink;
                haveInk = true;
            }
            y += line.height() * multiple;
        }
        layout->endLayout();
        m_paragraphs.push_back(std::move(layout));

        // "\r\n" is one break.
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    if (y > 0)
        m_usedRect = haveInk ? QRectF(used.x(), 0, used.width(), y) : QRectF(0, 0, 0, y);
}

TextLayout::~TextLayout() = default;

void TextLayout::draw(QPainter* painter, const QPointF& origin) const
{
    if (!painter)
        return;
    for (const auto& paragraph : m_paragraphs)
        paragraph->draw(painter, origin);
}

namespace {

QString cssColor(const QColor& color)
{
    if (color.alpha() == 255)
        return color.name(QColor::HexRgb);
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'g', 3));
}

QString cssAlignment(int alignment)
{
    switch (alignment) {
    case TextAttributes::Right:
        return QStringLiteral("right");
    case TextAttributes::Center:
        return QStringLiteral("center");
    case TextAttributes::Justified:
        return QStringLiteral("justify");
    case TextAttributes::Left:
        return QStringLiteral("left");
    default:
        return QStringLiteral("start");
    }
}

QString spanStyle(const TextAttributes& attributes)
{
    const QString name = attributes.fontName.isEmpty() ? ZERI_MMObject_Text::defaultFontName() : attributes.fontName;
    const FontFace face = FontSubstitution::faceForPostScriptName(name);
    QStringList style;
    // The document's own family first, so a reader that has it shows it; the installed substitutes after it.
    QStringList families{face.documentFamily};
    families += face.families;
    families.removeAll(QString());
    families.removeDuplicates();
    QStringList quoted;
    for (const QString& family : families)
        quoted << u'\'' + QString(family).remove(u'\'') + u'\'';
    style << QStringLiteral("font-family:%1,sans-serif").arg(quoted.join(u','));
    style << QStringLiteral("font-weight:%1").arg(int(face.weight));
    if (face.italic)
        style << QStringLiteral("font-style:italic");
    const double size = attributes.fontSize > 0 ? attributes.fontSize : ZERI_MMObject_Text::defaultFontSize();
    style << QStringLiteral("font-size:%1pt").arg(QString::number(size, 'g', 6));
    if (attributes.foregroundColor.isValid())
        style << QStringLiteral("color:%1").arg(cssColor(attributes.foregroundColor));
    return style.join(u';');
}

// A PostScript-style name ("Family-BoldItalic") for a font of pasted text, which the substitution table reads by
// its family and face parts.
QString postScriptNameForFont(const QFont& font)
{
    const QString family = QString(font.families().value(0, font.family())).remove(u' ');
    QString face;
    if (font.weight() >= QFont::DemiBold)
        face = QStringLiteral("Bold");
    else if (font.weight() <= QFont::Light)
        face = QStringLiteral("Light");
    if (font.italic())
        face += QStringLiteral("Italic");
    return face.isEmpty() ? family : family + u'-' + face;
}

int modelAlignment(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignJustify)
        return TextAttributes::Justified;
    if (alignment & Qt::AlignHCenter)
        return TextAttributes::Center;
    if ((alignment & Qt::AlignRight) && (alignment & Qt::AlignAbsolute))
        return TextAttributes::Right;
    if (alignment & Qt::AlignTrailing)
        return TextAttributes::Right;
    if ((alignment & Qt::AlignLeft) && (alignment & Qt::AlignAbsolute))
        return TextAttributes::Left;
    return TextAttributes::Natural;
}

} // namespace

QString ZERI_MMObject_Text::htmlSerializeAttributedString(const AttributedText& string)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>");
    const QString& text = string.string();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isParagraphBreak(text[end]))
            ++end;
        const TextAttributes first =
            string.attributesAtIndex(std::min(start, text.size() - 1)).value_or(TextAttributes());
        html += QStringLiteral("<p style=\"margin:0;text-align:%1\">").arg(cssAlignment(first.alignment));
        if (start == end)
            html += QStringLiteral("<br>");
        for (const AttributedText::Run& run : string.runs()) {
            const qsizetype from = std::max(run.range.location, start);
            const qsizetype to = std::min(run.range.end(), end);
            if (from < to)
                html += QStringLiteral("<span style=\"%1\">%2</span>")
                            .arg(spanStyle(run.attributes).toHtmlEscaped(), text.mid(from, to - from).toHtmlEscaped());
        }
        html += QStringLiteral("</p>");
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    html += QStringLiteral("</body></html>");
    return html;
}

AttributedText ZERI_MMObject_Text::attributedStringWithUnsupportedAttributesRemoved(const QTextDocument& document)
{
    // Kept: font (by PostScript-style name), size in points, text colour and paragraph alignment. Dropped: links,
    // images and other objects, background colours, underlines and strike-throughs, shadows, spacing, lists.
    AttributedText result;
    QString text;
    struct Piece {
        TextRange range;
        TextAttributes attributes;
    };
    std::vector<Piece> pieces;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            text += u'\n';
        const int alignment = modelAlignment(block.blockFormat().alignment());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            QString piece = fragment.text();
            piece.remove(QChar::ObjectReplacementCharacter); // images and other embedded objects
            piece.replace(QChar::LineSeparator, u'\n');
            if (piece.isEmpty())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            const QFont font = format.font();
            TextAttributes attributes;
            attributes.fontName = postScriptNameForFont(font);
            attributes.fontSize = font.pointSizeF() > 0 ? font.pointSizeF() : ZERI_MMObject_Text::defaultFontSize();
            if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
                attributes.foregroundColor = format.foreground().color();
            attributes.alignment = alignment;
            pieces.push_back({TextRange{text.size(), piece.size()}, attributes});
            text += piece;
        }
    }
    result = AttributedText(text);
    for (const Piece& piece : pieces)
        result.setAttributes(piece.attributes, piece.range);
    return result;
}
