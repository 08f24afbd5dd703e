#include "elements/text/QVR_TextHelperUtils.h"

#include <algorithm>

#include <QHash>

#include "foundation/FontSubstitution.h"
#include "strings/UFM.h"
#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

// Every name the table lists, with its multiple. Names listed at 1.0 are kept so the table reads as a whole.
const QHash<QString, double>& lineHeightMultiples()
{
    static const QHash<QString, double> table{
        {QStringLiteral("ArialMT"), 1.0},
        {QStringLiteral("Arial-BoldMT"), 1.0},
        {QStringLiteral("Arial-BoldItalicMT"), 1.0},
        {QStringLiteral("Arial-ItalicMT"), 1.0},
        {QStringLiteral("Courier"), 0.84},
        {QStringLiteral("Courier-Bold"), 0.83},
        {QStringLiteral("Courier-BoldOblique"), 0.83},
        {QStringLiteral("Courier-Oblique"), 0.84},
        {QStringLiteral("CourierNewPS-BoldItalicMT"), 1.0},
        {QStringLiteral("CourierNewPS-BoldMT"), 1.0},
        {QStringLiteral("CourierNewPS-ItalicMT"), 1.0},
        {QStringLiteral("CourierNewPSMT"), 1.0},
        {QStringLiteral("DemingEP"), 1.0},
        {QStringLiteral("Futura-Medium"), 1.0},
        {QStringLiteral("Futura-CondensedExtraBold"), 1.0},
        {QStringLiteral("Futura-CondensedMedium"), 1.0},
        {QStringLiteral("Futura-MediumItalic"), 1.0},
        {QStringLiteral("Georgia"), 1.0},
        {QStringLiteral("Goergia-Bold"), 1.0},
        {QStringLiteral("Goergia-BoldItalic"), 1.0},
        {QStringLiteral("Goergia-Italic"), 1.0},
        {QStringLiteral("GillSans"), 1.0},
        {QStringLiteral("GillSans-Bold"), 1.0},
        {QStringLiteral("GillSans-BoldItalic"), 1.0},
        {QStringLiteral("GillSans-Italic"), 1.0},
        {QStringLiteral("Helvetica"), 0.96},
        {QStringLiteral("Helvetica-Bold"), 0.96},
        {QStringLiteral("Helvetica-BoldOblique"), 0.96},
        {QStringLiteral("Helvetica-Light"), 0.96},
        {QStringLiteral("Helvetica-LightOblique"), 0.96},
        {QStringLiteral("Helvetica-Oblique"), 0.96},
        {QStringLiteral("HelveticaNeue"), 1.0},
        {QStringLiteral("HelveticaNeue-Bold"), 1.0},
        {QStringLiteral("HelveticaNeue-BoldItalic"), 1.0},
        {QStringLiteral("HelveticaNeue-CondensedBold"), 1.0},
        {QStringLiteral("HelveticaNeue-Italic"), 1.0},
        {QStringLiteral("HelveticaNeue-Light"), 1.0},
        {QStringLiteral("HelveticaNeue-LightItalic"), 1.0},
        {QStringLiteral("HelveticaNeue-Medium"), 0.99},
        {QStringLiteral("HelveticaNeue-UltraLight"), 1.0},
        {QStringLiteral("HelveticaNeue-UltraLightItalic"), 1.0},
        {QStringLiteral("Homestead"), 0.83},
        {QStringLiteral("Lavanderia-Delicate"), 1.0},
        {QStringLiteral("Lavanderia-Regular"), 1.0},
        {QStringLiteral("Lavanderia-Sturdy"), 1.0},
        {QStringLiteral("LeagueGothic-CondensedRegular"), 1.0},
        {QStringLiteral("LeagueGothic-Regular"), 1.0},
        {QStringLiteral("Lobster1.4"), 1.01},
        {QStringLiteral("Museo-300"), 1.0},
        {QStringLiteral("Museo-500"), 1.0},
        {QStringLiteral("Museo-700"), 1.0},
        {QStringLiteral("OstrichSans-Black"), 1.0},
        {QStringLiteral("OstrichSans-Bold"), 1.0},
        {QStringLiteral("OstrichSans-Light"), 1.0},
        {QStringLiteral("OstrichSans-Medium"), 1.0},
        {QStringLiteral("Papyrus"), 1.0},
        {QStringLiteral("Papyrus-Condensed"), 1.0},
        {QStringLiteral("Sullivan-Bevel"), 1.0},
        {QStringLiteral("Sullivan-Fill"), 1.0},
        {QStringLiteral("Sullivan-Regular"), 1.0},
        {QStringLiteral("TimesNewRomanPSMT"), 0.99},
    };
    return table;
}

bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

TextRange clampedRange(TextRange range, qsizetype length)
{
    const qsizetype location = std::clamp<qsizetype>(range.location, 0, length);
    return {location, std::clamp<qsizetype>(range.length, 0, length - location)};
}

// The storage's runs overlapping `range`, front to back, until `visit` returns false.
template <typename Visit> void forEachRun(const AttributedText& text, TextRange range, Visit visit)
{
    const std::vector<AttributedText::Run>& runs = text.runs();
    auto run = std::partition_point(runs.begin(), runs.end(),
                                    [&](const AttributedText::Run& r) { return r.range.end() <= range.location; });
    for (; run != runs.end() && run->range.location < range.end(); ++run) {
        if (!visit(run->attributes))
            return;
    }
}

struct ReadContext {
    std::shared_ptr<QVR_TextStorage> storage;
    TextRange range;
};

std::optional<ReadContext> readContext(const AttachedTextView* view, TextRange range)
{
    if (!view)
        return std::nullopt;
    std::shared_ptr<QVR_TextStorage> storage = view->textStorage();
    if (!storage)
        return std::nullopt;
    const TextRange clamped = clampedRange(range, storage->length());
    return ReadContext{std::move(storage), clamped};
}

QColor colorOrBlack(const QColor& color)
{
    return color.isValid() ? color : QColor(Qt::black);
}

bool sameColor(const QColor& a, const QColor& b)
{
    return a.rgba64() == b.rgba64();
}

quint64 readAlignment(int alignment)
{
    // Natural is the model's "no paragraph style", which reads as left.
    return alignment == TextAttributes::Natural ? 0 : quint64(std::max(alignment, 0));
}

} // namespace

double QVR_TextHelperUtils::lineHeightMultipleToApproximateIOSTextViewsForFont(const QString& postScriptName)
{
    if (postScriptName.isEmpty())
        return 1.0;
    const char16_t first = postScriptName.at(0).unicode();
    if (first < u'A' || first > u'T')
        return 1.0;
    return lineHeightMultiples().value(postScriptName, 1.0);
}

double QVR_TextHelperUtils::lineHeightMultipleToApproximateIOSTextViewsForFont(const DocumentFont& font)
{
    return lineHeightMultipleToApproximateIOSTextViewsForFont(font.postScriptName);
}

AttributedText QVR_TextHelperUtils::defaultAttributedText()
{
    const QString text = UFM::SAYS_CLICK_TO_EDIT_TEXT();
    const QString fontName = ZERI_MMObject_Text::defaultFontName();
    const double fontSize = ZERI_MMObject_Text::defaultFontSize();
    if (!FontSubstitution::documentFont(fontName, fontSize))
        return AttributedText(text);
    TextAttributes attributes;
    attributes.fontName = fontName;
    attributes.fontSize = fontSize;
    attributes.foregroundColor = QColor(Qt::black);
    return AttributedText(text, attributes);
}

TextRange QVR_TextHelperUtils::contextRangeOfTextView(const AttachedTextView* view)
{
    if (!view)
        return {};
    if (view->isEditable())
        return view->selectedRange();
    const std::shared_ptr<QVR_TextStorage> storage = view->textStorage();
    return {0, storage ? storage->length() : 0};
}

std::optional<QColor> QVR_TextHelperUtils::colorContextFromTextView(const AttachedTextView* view)
{
    return colorContextFromTextView(view, contextRangeOfTextView(view));
}

std::optional<QColor> QVR_TextHelperUtils::colorContextFromTextView(const AttachedTextView* view, TextRange range)
{
    const std::optional<ReadContext> context = readContext(view, range);
    if (!context)
        return std::nullopt;
    if (context->range.length == 0)
        return colorOrBlack(view->typingAttributes().foregroundColor);

    std::optional<QColor> result;
    bool mixed = false;
    forEachRun(context->storage->attributedString(), context->range, [&](const TextAttributes& attributes) {
        const QColor color = colorOrBlack(attributes.foregroundColor);
        if (!result) {
            result = color;
        } else if (!sameColor(*result, color)) {
            mixed = true;
            return false;
        }
        return true;
    });
    return mixed ? std::nullopt : result;
}

std::optional<QString> QVR_TextHelperUtils::fontNameContextFromTextView(const AttachedTextView* view)
{
    return fontNameContextFromTextView(view, contextRangeOfTextView(view));
}

std::optional<QString> QVR_TextHelperUtils::fontNameContextFromTextView(const AttachedTextView* view, TextRange range)
{
    const std::optional<ReadContext> context = readContext(view, range);
    if (!context)
        return std::nullopt;
    if (context->range.length == 0) {
        const QString name = view->typingAttributes().fontName;
        return name.isEmpty() ? std::nullopt : std::optional<QString>(name);
    }

    // A fontless run has the empty name: a value of its own, so fontless and named runs together read mixed.
    std::optional<QString> result;
    bool mixed = false;
    forEachRun(context->storage->attributedString(), context->range, [&](const TextAttributes& attributes) {
        if (!result) {
            result = attributes.fontName;
        } else if (*result != attributes.fontName) {
            mixed = true;
            return false;
        }
        return true;
    });
    if (mixed || !result || result->isEmpty())
        return std::nullopt;
    return result;
}

double QVR_TextHelperUtils::fontSizeContextFromTextView(const AttachedTextView* view)
{
    return fontSizeContextFromTextView(view, contextRangeOfTextView(view));
}

double QVR_TextHelperUtils::fontSizeContextFromTextView(const AttachedTextView* view, TextRange range)
{
    const std::optional<ReadContext> context = readContext(view, range);
    if (!context)
        return 0.0;
    auto sizeOf = [](const TextAttributes& attributes) {
        return attributes.fontName.isEmpty() ? 0.0 : attributes.fontSize;
    };
    if (context->range.length == 0)
        return sizeOf(view->typingAttributes());

    std::optional<double> result;
    bool mixed = false;
    forEachRun(context->storage->attributedString(), context->range, [&](const TextAttributes& attributes) {
        const double size = sizeOf(attributes);
        if (!result) {
            result = size;
        } else if (*result != size) {
            mixed = true;
            return false;
        }
        return true;
    });
    return mixed ? 0.0 : result.value_or(0.0);
}

quint64 QVR_TextHelperUtils::textAlignmentContextFromTextView(const AttachedTextView* view)
{
    return textAlignmentContextFromTextView(view, contextRangeOfTextView(view));
}

quint64 QVR_TextHelperUtils::textAlignmentContextFromTextView(const AttachedTextView* view, TextRange range)
{
    const std::optional<ReadContext> context = readContext(view, range);
    if (!context)
        return 0;
    const AttributedText& text = context->storage->attributedString();
    const QString& string = text.string();
    const qsizetype length = string.size();

    // Widen to whole paragraphs: back to the first paragraph's start, on past the last one's break.
    qsizetype start = context->range.location;
    while (start > 0 && !isParagraphBreak(string.at(start - 1)))
        --start;
    qsizetype end = context->range.length > 0 ? context->range.end() - 1 : context->range.location;
    while (end < length && !isParagraphBreak(string.at(end)))
        ++end;
    if (end < length) {
        if (string.at(end) == u'\r' && end + 1 < length && string.at(end + 1) == u'\n')
            ++end;
        ++end;
    }
    if (end <= start)
        return 0;

    // Each paragraph's alignment is its first character's, as the layout aligns it.
    const std::vector<AttributedText::Run>& runs = text.runs();
    auto run = runs.begin();
    std::optional<quint64> result;
    qsizetype paragraph = start;
    while (paragraph < end) {
        while (run != runs.end() && run->range.end() <= paragraph)
            ++run;
        const quint64 alignment = run != runs.end() ? readAlignment(run->attributes.alignment) : 0;
        if (!result)
            result = alignment;
        else if (*result != alignment)
            return kMixedAlignment;
        qsizetype next = paragraph;
        while (next < end && !isParagraphBreak(string.at(next)))
            ++next;
        if (next < end && string.at(next) == u'\r' && next + 1 < length && string.at(next + 1) == u'\n')
            ++next;
        paragraph = next + 1;
    }
    return result.value_or(0);
}
