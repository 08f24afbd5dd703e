#include "tessarine_data_model/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextBoundaryFinder>
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

// A paragraph's characters [start, end), its break left out.
struct Paragraph {
    qsizetype start = 0;
    qsizetype end = 0;
};

// The text's paragraphs in order. "\r\n" is one break, and a break at the very end opens no further paragraph.
std::vector<Paragraph> paragraphsOf(const QString& text)
{
    std::vector<Paragraph> paragraphs;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isParagraphBreak(text[end]))
            ++end;
        paragraphs.push_back({start, end});
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    return paragraphs;
}

// The runs are in text order and so are the paragraphs: each paragraph starts looking at the first run that
// reaches it, so the whole text walks the runs once.
class RunWalk {
public:
    explicit RunWalk(const std::vector<AttributedText::Run>& runs)
        : m_runs(runs)
    {
    }
    // Calls `visit(run, from, to)` for the part [from, to) of each run inside the paragraph; paragraphs come in
    // order.
    template <typename Visit> void inParagraph(const Paragraph& paragraph, Visit&& visit)
    {
        while (m_first < m_runs.size() && m_runs[m_first].range.end() <= paragraph.start)
            ++m_first;
        for (std::size_t r = m_first; r < m_runs.size() && m_runs[r].range.location < paragraph.end; ++r) {
            const qsizetype from = std::max(m_runs[r].range.location, paragraph.start);
            const qsizetype to = std::min(m_runs[r].range.end(), paragraph.end);
            if (from < to)
                visit(m_runs[r], from, to);
        }
    }

private:
    const std::vector<AttributedText::Run>& m_runs;
    std::size_t m_first = 0;
};

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

// Qt lays a line out at word boundaries first and, when the line's first word alone is wider than the line, once
// more breaking anywhere. Inside one very long word that first pass measures all the rest of the word for every
// line, so a word of n characters costs n * n / (characters per line): minutes for a word of millions. A line that
// starts inside a word clearly wider than the line is laid out breaking anywhere straight away, which is what the
// second pass gives it; every other line is laid out as before.
class LongWordLines {
public:
    // Paragraphs shorter than this never take long enough to matter, and are left alone.
    static constexpr qsizetype kMinimumParagraph = 1024;

    LongWordLines(const QString& text, const QList<QTextLayout::FormatRange>& formats, const QFont& font, double width)
        : m_text(text)
        , m_formats(formats)
        , m_defaultFont(font)
        , m_limit(2 * width) // twice the line: the measure here need not match Qt's shaping to the last unit
    {
        if (text.size() < kMinimumParagraph)
            return;
        m_active = true;
        // Where a line may end: the line-break opportunities, and the spaces Qt breaks at besides.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
        for (qsizetype at = finder.toNextBoundary(); at >= 0; at = finder.toNextBoundary())
            m_breaks.push_back(at);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isSpace())
                m_breaks.push_back(i);
        }
        std::sort(m_breaks.begin(), m_breaks.end());
        m_advances.resize(size_t(formats.size()));
    }

    // Whether the line starting at `position` starts with a word (up to the next place a line may end) at least
    // twice as wide as the line.
    bool startsOverflowingWord(qsizetype position)
    {
        if (!m_active)
            return false;
        const auto next = std::upper_bound(m_breaks.begin(), m_breaks.end(), position);
        const qsizetype end = next == m_breaks.end() ? m_text.size() : *next;
        if (end - position < kMinimumRun)
            return false;
        return exceedsLimit(position, end);
    }

private:
    static constexpr qsizetype kMinimumRun = 256;

    // One font's character advances, each measured once: a line costs a lookup per character, not a shaping.
    struct Advances {
        explicit Advances(const QFont& font)
            : metrics(font, seventyTwoDpiDevice())
        {
        }
        double of(char32_t codePoint)
        {
            const auto known = cache.constFind(codePoint);
            if (known != cache.constEnd())
                return *known;
            const char32_t one[] = {codePoint};
            const double advance = metrics.horizontalAdvance(QString::fromUcs4(one, 1));
            cache.insert(codePoint, advance);
            return advance;
        }
        QFontMetricsF metrics;
        QHash<char32_t, double> cache;
    };

    Advances& advancesOfFormat(qsizetype index)
    {
        auto& slot = index < 0 ? m_defaultAdvances : m_advances[size_t(index)];
        if (!slot)
            slot.emplace(index < 0 ? m_defaultFont : m_formats[index].format.font());
        return *slot;
    }

    // Adds up the advances of [from, to) in the fonts of its runs, stopping as soon as the limit is passed.
    bool exceedsLimit(qsizetype from, qsizetype to)
    {
        double total = 0;
        qsizetype at = from;
        while (at < to) {
            // The run holding `at`, if any (the formats are in text order and do not overlap).
            const auto after =
                std::upper_bound(m_formats.begin(), m_formats.end(), at,
                                 [](qsizetype i, const QTextLayout::FormatRange& f) { return i < f.start; });
            qsizetype runEnd = to;
            qsizetype format = -1;
            if (after != m_formats.begin() && at < std::prev(after)->start + std::prev(after)->length) {
                format = std::prev(after) - m_formats.begin();
                runEnd = std::min(runEnd, qsizetype(std::prev(after)->start + std::prev(after)->length));
            } else if (after != m_formats.end()) {
                runEnd = std::min(runEnd, qsizetype(after->start));
            }
            Advances& advances = advancesOfFormat(format);
            while (at < runEnd) {
                char32_t codePoint = m_text[at].unicode();
                if (QChar::isHighSurrogate(codePoint) && at + 1 < runEnd && m_text[at + 1].isLowSurrogate()) {
                    codePoint = QChar::surrogateToUcs4(m_text[at], m_text[at + 1]);
                    ++at;
                }
                ++at;
                total += advances.of(codePoint);
                if (total > m_limit)
                    return true;
            }
        }
        return false;
    }

    const QString m_text;
    const QList<QTextLayout::FormatRange> m_formats;
    const QFont m_defaultFont;
    std::optional<Advances> m_defaultAdvances;
    std::vector<std::optional<Advances>> m_advances; // per format, made when first needed
    double m_limit = 0;
    bool m_active = false;
    std::vector<qsizetype> m_breaks;
};

// Whether a paragraph laid out before has the text, fonts, styles and alignment of one to lay out now.
bool sameParagraph(const QTextLayout& laidOut, QStringView text, const QFont& font,
                   const QList<QTextLayout::FormatRange>& formats, Qt::Alignment alignment)
{
    return laidOut.text() == text && laidOut.textOption().alignment() == alignment && laidOut.font() == font &&
           laidOut.formats() == formats;
}

} // namespace

TextLayout::TextLayout(const AttributedText& string, double width, const TextFrameAttributes& attributes)
{
    build(string, width, attributes, nullptr);
}

TextLayout::TextLayout(const AttributedText& string, double width, const TextFrameAttributes& attributes,
                       TextLayout&& previous)
{
    build(string, width, attributes, &previous);
}

void TextLayout::build(const AttributedText& string, double width, const TextFrameAttributes& attributes,
                       TextLayout* previous)
{
    {
        // The height of a line without characters: an empty text's caret, or the line after a final break.
        const TextAttributes last = string.length() > 0
                                        ? string.attributesAtIndex(string.length() - 1).value_or(TextAttributes())
                                        : TextAttributes();
        m_emptyLineHeight = QFontMetricsF(charFormat(last).font(), seventyTwoDpiDevice()).height();
    }
    if (!std::isfinite(width) || width <= 0 || string.length() == 0)
        return;
    const QString& text = string.string();
    m_text = text;
    const double multiple = attributes.lineHeightMultiple > 0 ? attributes.lineHeightMultiple : 1.0;
    m_width = width;
    m_multiple = multiple;
    double y = 0;
    bool haveInk = false;
    QRectF used;

    // After an edit most paragraphs are as they were: those before the edit keep their index, those after it their
    // index from the end. A paragraph found unchanged in the previous layout keeps its lines, only moved.
    if (previous && (previous->m_width != width || previous->m_multiple != multiple))
        previous = nullptr;
    const std::vector<Paragraph> paragraphs = paragraphsOf(text);
    const auto reusable = [&](qsizetype paragraph, QStringView paragraphText, const QFont& font,
                              const QList<QTextLayout::FormatRange>& formats,
                              Qt::Alignment alignment) -> std::unique_ptr<QTextLayout> {
        if (!previous)
            return nullptr;
        const qsizetype before = qsizetype(previous->m_paragraphs.size());
        for (const qsizetype candidate : {paragraph, paragraph + before - qsizetype(paragraphs.size())}) {
            if (candidate < 0 || candidate >= before)
                continue;
            std::unique_ptr<QTextLayout>& laidOut = previous->m_paragraphs[std::size_t(candidate)];
            if (laidOut && sameParagraph(*laidOut, paragraphText, font, formats, alignment))
                return std::move(laidOut);
        }
        return nullptr;
    };
    // Each line placed, in order: its ink widens the used area, and the next line goes below it.
    const auto addLine = [&](const QTextLine& line) {
        const QRectF ink = line.naturalTextRect();
        if (ink.width() > 0) {
            used = haveInk ? used.united(ink) : ink;
            haveInk = true;
        }
        y += line.height() * multiple;
    };

    RunWalk runWalk(string.runs());
    // A text has few distinct styles over many runs: each one's format (font look-up included) is made once.
    std::vector<std::pair<TextAttributes, QTextCharFormat>> formatsMade;
    const auto formatOf = [&](const TextAttributes& wanted) -> const QTextCharFormat& {
        for (const auto& [made, format] : formatsMade)
            if (made == wanted)
                return format;
        if (formatsMade.size() >= 16)
            formatsMade.erase(formatsMade.begin());
        formatsMade.emplace_back(wanted, charFormat(wanted));
        return formatsMade.back().second;
    };
    for (const Paragraph& paragraph : paragraphs) {
        const qsizetype start = paragraph.start;
        const TextAttributes first = string.attributesAtIndex(start).value_or(TextAttributes());

        QList<QTextLayout::FormatRange> formats;
        runWalk.inParagraph(paragraph, [&](const AttributedText::Run& run, qsizetype from, qsizetype to) {
            formats.append({int(from - start), int(to - from), formatOf(run.attributes)});
        });
        const QFont font = formatOf(first).font();
        const QStringView paragraphText = QStringView(text).mid(start, paragraph.end - start);
        auto layout =
            reusable(qsizetype(m_paragraphs.size()), paragraphText, font, formats, qtAlignment(first.alignment));
        if (layout) {
            const double shift = layout->lineCount() > 0 ? y - layout->lineAt(0).y() : 0;
            for (int i = 0; i < layout->lineCount(); ++i) {
                QTextLine line = layout->lineAt(i);
                line.setPosition(QPointF(0, line.y() + shift));
                addLine(line);
            }
        } else {
            layout = std::make_unique<QTextLayout>(paragraphText.toString(), font, seventyTwoDpiDevice());
            layout->setFormats(formats);
            QTextOption option(qtAlignment(first.alignment));
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout->setTextOption(option);
            layout->setCacheEnabled(true);

            LongWordLines longWords(layout->text(), formats, layout->font(), width);
            bool breakingAnywhere = false;
            layout->beginLayout();
            for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
                // The wrap mode is read as each line is laid out (Qt switches it the same way for its second pass).
                if (const bool anywhere = longWords.startsOverflowingWord(line.textStart());
                    anywhere != breakingAnywhere) {
                    option.setWrapMode(anywhere ? QTextOption::WrapAnywhere
                                                : QTextOption::WrapAtWordBoundaryOrAnywhere);
                    layout->setTextOption(option);
                    breakingAnywhere = anywhere;
                }
                line.setLeadingIncluded(true);
                line.setLineWidth(width);
                line.setPosition(QPointF(0, y));
                addLine(line);
            }
            layout->endLayout();
            if (breakingAnywhere) {
                option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                layout->setTextOption(option);
            }
        }
        m_paragraphs.push_back(std::move(layout));
        m_starts.push_back(start);
    }
    m_bottom = y;
    if (y > 0)
        m_usedRect = haveInk ? QRectF(used.x(), 0, used.width(), y) : QRectF(0, 0, 0, y);
    if (previous) {
        // What was not taken over goes now; the previous layout is empty rather than half there.
        previous->m_paragraphs.clear();
        previous->m_starts.clear();
        previous->m_text.clear();
        previous->m_bottom = 0;
        previous->m_usedRect = QRectF();
    }
}

TextLayout::~TextLayout() = default;

double TextLayout::lineHeightForFont(const QString& postScriptName, double pointSize)
{
    TextAttributes attributes;
    attributes.fontName = postScriptName;
    attributes.fontSize = pointSize;
    return TextLayout(AttributedText(QStringLiteral("X"), attributes), 1e6).usedRect().height();
}

void TextLayout::draw(QPainter* painter, const QPointF& origin, const QRectF& clip) const
{
    if (!painter)
        return;
    for (const auto& paragraph : m_paragraphs) {
        if (clip.isValid()) {
            // Generous sideways: alignment and overhanging glyphs may reach past the line's rectangle.
            const QRectF area = paragraph->boundingRect().translated(origin).adjusted(-1e6, -4, 1e6, 4);
            if (!area.intersects(clip))
                continue;
        }
        paragraph->draw(painter, origin);
    }
}

// Hit testing. A text that ends with a paragraph break has, for editing, one more empty line below the last
// laid-out one; indexes past the last paragraph's characters (the break itself) sit on it.

TextLayout::LinePlace TextLayout::placeOf(qsizetype index) const
{
    if (m_paragraphs.empty())
        return {};
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    int paragraph = int(m_paragraphs.size()) - 1;
    while (paragraph > 0 && m_starts[paragraph] > index)
        --paragraph;
    const QTextLayout& layout = *m_paragraphs[paragraph];
    const qsizetype local = index - m_starts[paragraph];
    if (local > layout.text().size())
        return {paragraph, -1}; // after a final break
    int line = layout.lineCount() - 1;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine candidate = layout.lineAt(i);
        if (local < candidate.textStart() + candidate.textLength()) {
            line = i;
            break;
        }
    }
    return {paragraph, std::max(line, 0)};
}

double TextLayout::caretX(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.line < 0)
        return 0;
    const QTextLine line = m_paragraphs[place.paragraph]->lineAt(place.line);
    return line.isValid() ? line.cursorToX(int(index - m_starts[place.paragraph])) : 0;
}

qsizetype TextLayout::indexOnLine(const LinePlace& place, double x) const
{
    if (place.paragraph < 0)
        return 0;
    if (place.line < 0)
        return m_text.size();
    const QTextLine line = m_paragraphs[place.paragraph]->lineAt(place.line);
    if (!line.isValid())
        return m_starts[place.paragraph];
    return m_starts[place.paragraph] + line.xToCursor(x, QTextLine::CursorBetweenCharacters);
}

qsizetype TextLayout::indexAt(const QPointF& point) const
{
    if (m_paragraphs.empty())
        return 0;
    const bool finalBreak = isParagraphBreak(m_text.back());
    if (point.y() >= m_bottom && finalBreak)
        return m_text.size();
    LinePlace found{int(m_paragraphs.size()) - 1, m_paragraphs.back()->lineCount() - 1};
    bool done = false;
    for (int p = 0; p < int(m_paragraphs.size()) && !done; ++p) {
        const QTextLayout& layout = *m_paragraphs[p];
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            if (point.y() < line.y() + line.height()) {
                found = {p, i};
                done = true;
                break;
            }
        }
    }
    return indexOnLine(found, point.x());
}

QRectF TextLayout::caretRect(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0)
        return QRectF(0, 0, 1, m_emptyLineHeight);
    if (place.line < 0)
        return QRectF(0, m_bottom, 1, m_emptyLineHeight);
    const QTextLine line = m_paragraphs[place.paragraph]->lineAt(place.line);
    return QRectF(caretX(index), line.y(), 1, line.height());
}

std::vector<QRectF> TextLayout::selectionRects(TextRange range) const
{
    std::vector<QRectF> rects;
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, m_text.size());
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, m_text.size());
    if (from == to)
        return rects;
    for (int p = 0; p < int(m_paragraphs.size()); ++p) {
        const QTextLayout& layout = *m_paragraphs[p];
        const qsizetype start = m_starts[p];
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            const qsizetype lineFrom = start + line.textStart();
            qsizetype lineTo = lineFrom + line.textLength();
            const bool lastLine = i == layout.lineCount() - 1;
            if (lastLine && start + layout.text().size() < m_text.size())
                ++lineTo; // the paragraph break belongs to the line
            if (lineTo <= from || lineFrom >= to)
                continue;
            const double x1 = line.cursorToX(int(std::max(from, lineFrom) - start));
            const bool throughBreak = lastLine && to > start + layout.text().size();
            const double x2 = throughBreak ? std::max(line.naturalTextWidth() + line.x(), x1) + 4
                                           : line.cursorToX(int(std::min(to, lineTo) - start));
            rects.emplace_back(QPointF(std::min(x1, x2), line.y()),
                               QPointF(std::max(x1, x2), line.y() + line.height()));
        }
    }
    return rects;
}

qsizetype TextLayout::nextCursorPosition(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0 || index >= m_text.size())
        return std::min<qsizetype>(std::max<qsizetype>(index, 0), m_text.size());
    const QTextLayout& layout = *m_paragraphs[place.paragraph];
    const qsizetype start = m_starts[place.paragraph];
    const qsizetype local = index - start;
    if (local >= layout.text().size()) {
        // Over the break ("\r\n" is one).
        if (index + 1 < m_text.size() && m_text[index] == u'\r' && m_text[index + 1] == u'\n')
            return index + 2;
        return index + 1;
    }
    return start + layout.nextCursorPosition(int(local), QTextLayout::SkipCharacters);
}

qsizetype TextLayout::previousCursorPosition(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    if (index == 0 || m_paragraphs.empty())
        return 0;
    const LinePlace place = placeOf(index);
    const qsizetype start = m_starts[place.paragraph];
    if (index == start || place.line < 0) {
        // Back over the break before this paragraph.
        if (index >= 2 && m_text[index - 1] == u'\n' && m_text[index - 2] == u'\r')
            return index - 2;
        return index - 1;
    }
    return start +
           m_paragraphs[place.paragraph]->previousCursorPosition(int(index - start), QTextLayout::SkipCharacters);
}

qsizetype TextLayout::nextWordPosition(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text);
    finder.setPosition(index);
    // To the start of the next word: past the rest of this word and the spaces after it.
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        if (next >= m_text.size())
            return m_text.size();
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem && !m_text[next].isSpace())
            return next;
    }
    return m_text.size();
}

qsizetype TextLayout::previousWordPosition(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text);
    finder.setPosition(index);
    for (qsizetype previous = finder.toPreviousBoundary(); previous > 0; previous = finder.toPreviousBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem && !m_text[previous].isSpace())
            return previous;
    }
    return 0;
}

qsizetype TextLayout::lineStart(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0 || place.line < 0)
        return std::clamp<qsizetype>(index, 0, m_text.size());
    return m_starts[place.paragraph] + m_paragraphs[place.paragraph]->lineAt(place.line).textStart();
}

qsizetype TextLayout::lineEnd(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0 || place.line < 0)
        return std::clamp<qsizetype>(index, 0, m_text.size());
    const QTextLayout& layout = *m_paragraphs[place.paragraph];
    const QTextLine line = layout.lineAt(place.line);
    qsizetype end = m_starts[place.paragraph] + line.textStart() + line.textLength();
    // A wrapped line ends before the space it broke at, so the caret stays on it.
    if (place.line < layout.lineCount() - 1 && end > m_starts[place.paragraph] + line.textStart() &&
        m_text[end - 1].isSpace())
        --end;
    return end;
}

qsizetype TextLayout::lineAbove(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0)
        return 0;
    const double x = caretX(index);
    LinePlace above = place;
    if (place.line < 0) {
        above = {int(m_paragraphs.size()) - 1, m_paragraphs.back()->lineCount() - 1};
    } else if (place.line > 0) {
        above.line = place.line - 1;
    } else if (place.paragraph > 0) {
        above = {place.paragraph - 1, m_paragraphs[place.paragraph - 1]->lineCount() - 1};
    } else {
        return 0;
    }
    return indexOnLine(above, x);
}

qsizetype TextLayout::lineBelow(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0 || place.line < 0)
        return m_text.size();
    const double x = caretX(index);
    const QTextLayout& layout = *m_paragraphs[place.paragraph];
    if (place.line + 1 < layout.lineCount())
        return indexOnLine({place.paragraph, place.line + 1}, x);
    if (place.paragraph + 1 < int(m_paragraphs.size()))
        return indexOnLine({place.paragraph + 1, 0}, x);
    if (isParagraphBreak(m_text.back()))
        return m_text.size();
    return m_text.size();
}

QRectF TextLayout::paragraphRect(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0)
        return QRectF(0, 0, 0, m_emptyLineHeight);
    if (place.line < 0)
        return QRectF(0, m_bottom, 0, m_emptyLineHeight);
    const QTextLayout& layout = *m_paragraphs[place.paragraph];
    const QTextLine first = layout.lineAt(0);
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    if (!first.isValid())
        return QRectF();
    return QRectF(QPointF(0, first.y()),
                  QPointF(std::max(layout.boundingRect().right(), 0.0), last.y() + last.height()));
}

TextRange TextLayout::paragraphRange(qsizetype index) const
{
    const LinePlace place = placeOf(index);
    if (place.paragraph < 0)
        return {0, 0};
    if (place.line < 0)
        return {m_text.size(), 0};
    return {m_starts[place.paragraph], m_paragraphs[place.paragraph]->text().size()};
}

TextRange TextLayout::wordRangeAt(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    if (m_text.isEmpty())
        return {0, 0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text);
    finder.setPosition(index);
    qsizetype start = finder.isAtBoundary() && index < m_text.size() ? index : finder.toPreviousBoundary();
    finder.setPosition(index);
    qsizetype end = finder.toNextBoundary();
    if (start < 0)
        start = 0;
    if (end < 0)
        end = m_text.size();
    return {start, end - start};
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

QString ZERI_MMObject_Text::htmlSerializeAttributedString(const AttributedText& string,
                                                          const std::vector<TextLink>& links)
{
    // Links in text order, each inside the text and after the one before.
    std::vector<TextLink> ordered;
    for (const TextLink& link : links) {
        if (link.range.length > 0 && link.range.location >= 0 && link.range.end() <= string.length())
            ordered.push_back(link);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TextLink& a, const TextLink& b) { return a.range.location < b.range.location; });
    {
        std::vector<TextLink> disjoint;
        for (TextLink& link : ordered) {
            if (disjoint.empty() || link.range.location >= disjoint.back().range.end())
                disjoint.push_back(std::move(link));
        }
        ordered = std::move(disjoint);
    }

    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>");
    const QString& text = string.string();
    std::size_t nextLink = 0;
    RunWalk runWalk(string.runs());
    for (const Paragraph& paragraph : paragraphsOf(text)) {
        const TextAttributes first = string.attributesAtIndex(paragraph.start).value_or(TextAttributes());
        html += QStringLiteral("<p style=\"margin:0;text-align:%1\">").arg(cssAlignment(first.alignment));
        if (paragraph.start == paragraph.end)
            html += QStringLiteral("<br>");
        runWalk.inParagraph(paragraph, [&](const AttributedText::Run& run, qsizetype from, qsizetype to) {
            while (from < to) {
                while (nextLink < ordered.size() && ordered[nextLink].range.end() <= from)
                    ++nextLink;
                const TextLink* link = nextLink < ordered.size() && ordered[nextLink].range.location <= from
                                           ? &ordered[nextLink]
                                           : nullptr;
                qsizetype pieceEnd = to;
                if (link)
                    pieceEnd = std::min(pieceEnd, link->range.end());
                else if (nextLink < ordered.size())
                    pieceEnd = std::min(pieceEnd, ordered[nextLink].range.location);
                const QString span = QStringLiteral("<span style=\"%1\">%2</span>")
                                         .arg(spanStyle(run.attributes).toHtmlEscaped(),
                                              text.mid(from, pieceEnd - from).toHtmlEscaped());
                if (link)
                    html += QStringLiteral("<a href=\"%1\">%2</a>").arg(link->href.toHtmlEscaped(), span);
                else
                    html += span;
                from = pieceEnd;
            }
        });
        html += QStringLiteral("</p>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

AttributedText ZERI_MMObject_Text::attributedStringWithUnsupportedAttributesRemoved(const QTextDocument& document,
                                                                                    std::vector<TextLink>* links)
{
    if (links)
        links->clear();
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
            attributes.fontName = FontSubstitution::postScriptNameForFont(font);
            attributes.fontSize = font.pointSizeF() > 0 ? font.pointSizeF() : ZERI_MMObject_Text::defaultFontSize();
            if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
                attributes.foregroundColor = format.foreground().color();
            attributes.alignment = alignment;
            if (links && format.isAnchor() && !format.anchorHref().isEmpty()) {
                const TextRange range{text.size(), piece.size()};
                // Neighbouring fragments of one link make one link.
                if (!links->empty() && links->back().range.end() == range.location &&
                    links->back().href == format.anchorHref())
                    links->back().range.length += range.length;
                else
                    links->push_back({range, format.anchorHref()});
            }
            pieces.push_back({TextRange{text.size(), piece.size()}, attributes});
            text += piece;
        }
    }
    result = AttributedText(text);
    for (const Piece& piece : pieces)
        result.setAttributes(piece.attributes, piece.range);
    return result;
}
